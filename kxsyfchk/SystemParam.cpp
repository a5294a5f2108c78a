// SystemParam.cpp
// The host's current settings: "set" lines of /etc/system, or on Solaris 10 the resource
// controls of /etc/project.
#include "KxxComFile.h"
#include "KxxComGetSysInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "kxsyfchk.h"

namespace {

// Calls iVisit with each non-empty line of iFile, trimmed. 0; -9993 no memory for a
// line; -9998 the file cannot be read.
template <typename Visit>
int kxl_walkLines(FILE* iFile, Visit iVisit)
{
    std::string aLine;
    int aRead;
    while ((aRead = kxg_readFileRow(iFile, aLine)) == 0) {
        kxg_trimLeft(aLine);
        kxg_trimRight(aLine);
        if (!aLine.empty()) {
            iVisit(aLine);
        }
    }
    return aRead == -1 ? 0 : aRead;
}

bool kxl_hasValue(const SysPrmRecord& iRecord)
{
    return !iRecord.CurrentValue.empty();
}

// The first record still without a value whose name occurs in the "set" line.
SysPrmRecord* kxl_findSetRecord(const std::string& iLine, SysPrmList& ioList)
{
    for (int aIndex = 0; aIndex < ioList.Count; aIndex++) {
        SysPrmRecord& aRecord = ioList.Records[aIndex];
        if (!kxl_hasValue(aRecord) && iLine.find(aRecord.ParamName) != std::string::npos) {
            return &aRecord;
        }
    }
    return nullptr;
}

// Gives the value of one trimmed "set" line to the first record that wants it.
void kxl_setSystemLine(const std::string& iLine, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    kxg_outWriteTracelogEx(aFunc, "set行[%s]", iLine.c_str());
    size_t aEqual = iLine.rfind('=');
    if (aEqual == std::string::npos) {
        kxg_outWriteTracelog(aFunc, " = がない。次の行へ");
        return;
    }
    SysPrmRecord* aRecord = kxl_findSetRecord(iLine, ioList);
    if (aRecord == nullptr) {
        kxg_outWriteTracelog(aFunc, "該当パラメタなし");
        return;
    }
    kxg_outWriteTracelogEx(aFunc, "パラメタ発見[%s]", aRecord->ParamName.c_str());
    std::string aValue = iLine.substr(aEqual + 1);
    kxg_trimLeft(aValue);
    kxg_trimRight(aValue);
    aRecord->CurrentValue = aValue.substr(0, kParamTextMax);
    kxg_outWriteTracelogEx(aFunc, "設定値：[%s]", aRecord->CurrentValue.c_str());
}

int kxl_GetSystemParamSol(SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aPath = kxg_getHostPath("/etc/system");
    FilePtr aFile = kxg_openFile(aPath, "r");
    if (!aFile) {
        kxg_outWriteTracelogEx(aFunc, "ファイルオープン失敗：%s", aPath.c_str());
        return -9998;
    }
    int aResult = kxl_walkLines(aFile.get(), [&ioList](const std::string& iLine) {
        // Comments ("*") and every other statement do not begin with "set".
        if (iLine.compare(0, 3, "set") == 0) {
            kxl_setSystemLine(iLine, ioList);
        }
    });
    if (aResult == -9993) {
        kxg_outWriteTracelogEx(aFunc, "メモリーの確保エラー:%s", "aBuff");
        return -1;
    }
    if (aResult == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
    }
    return aResult;
}

// The first record still without a value whose name occurs in the block and whose
// project begins the project entry iLine.
SysPrmRecord* kxl_findBlockRecord(const std::string& iLine, const std::string& iBlock,
                                  SysPrmList& ioList)
{
    for (int aIndex = 0; aIndex < ioList.Count; aIndex++) {
        SysPrmRecord& aRecord = ioList.Records[aIndex];
        if (kxl_hasValue(aRecord) || iBlock.find(aRecord.ParamName) == std::string::npos) {
            continue;
        }
        if (iLine.compare(0, aRecord.ProjectName.size(), aRecord.ProjectName) == 0) {
            return &aRecord;
        }
        kxg_outWriteTracelog("kxl_sekParam", "指定された以外のプロジェクト");
    }
    return nullptr;
}

// Whether "=" follows the name (after blanks) at the name's length into the block.
bool kxl_chkEqualAfterName(const std::string& iBlock, size_t iNameLen)
{
    size_t aPos = iNameLen;
    while (aPos < iBlock.size() && iBlock[aPos] == ' ') {
        aPos++;
    }
    return aPos < iBlock.size() && iBlock[aPos] == '=';
}

// Stores privilege and value of the first "(privilege,value,action)" of the block.
void kxl_setControlValue(const std::string& iBlock, SysPrmRecord& ioRecord)
{
    const char* aFunc = "kxl_sekParam";
    std::string aInner;
    if (kxg_getMidStr(iBlock, '(', ')', aInner) != 0) {
        kxg_outWriteTracelog(aFunc, "取得した文字列に'('または')'が含まれていない場合、次のブロックへ");
        return;
    }
    kxg_outWriteTracelogEx(aFunc, "括弧内の値[%s]", aInner.c_str());
    uint32_t aPos = 0;
    std::string aItem;
    kxg_cutWord(aInner, ',', aPos, aItem);
    kxg_trimLeft(aItem);
    kxg_trimRight(aItem);
    ioRecord.CurrentPrivilege = aItem.substr(0, kPrivilegeMax);
    kxg_outWriteTracelogEx(aFunc, "設定する権限レベル[%s]", ioRecord.CurrentPrivilege.c_str());
    kxg_cutWord(aInner, ',', aPos, aItem);
    kxg_trimLeft(aItem);
    kxg_trimRight(aItem);
    ioRecord.CurrentValue = aItem.substr(0, kParamTextMax);
    kxg_outWriteTracelogEx(aFunc, "設定する値[%s]", ioRecord.CurrentValue.c_str());
}

void kxl_setProjectBlock(const std::string& iLine, std::string& ioBlock, SysPrmList& ioList)
{
    const char* aFunc = "kxl_sekParam";
    kxg_trimLeft(ioBlock);
    kxg_outWriteTracelogEx(aFunc, "ブロック[%s]", ioBlock.c_str());
    SysPrmRecord* aRecord = kxl_findBlockRecord(iLine, ioBlock, ioList);
    if (aRecord == nullptr) {
        kxg_outWriteTracelog(aFunc, "該当パラメタなし");
        return;
    }
    kxg_outWriteTracelogEx(aFunc, "パラメタ発見[%s]", aRecord->ParamName.c_str());
    if (!kxl_chkEqualAfterName(ioBlock, aRecord->ParamName.size())) {
        kxg_outWriteTracelog(aFunc, "パラメタ名の後ろに'='が無い場合、次のブロックへ");
        return;
    }
    kxl_setControlValue(ioBlock, *aRecord);
}

// Gives the resource controls of one trimmed project entry to the records that want them.
void kxl_sekParam(const std::string& iLine, const std::string& iAttributes, SysPrmList& ioList)
{
    uint32_t aPos = 0;
    std::string aBlock;
    while (aPos < iAttributes.size()) {
        kxg_cutWord(iAttributes, ';', aPos, aBlock);
        kxl_setProjectBlock(iLine, aBlock, ioList);
    }
}

void kxl_setProjectLine(const std::string& iLine, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    kxg_outWriteTracelogEx(aFunc, "空行以外[%s]", iLine.c_str());
    size_t aColon = iLine.rfind(':');
    if (aColon == std::string::npos) {
        kxg_outWriteTracelog(aFunc, ":が含まれない場合、次の行へ");
        return;
    }
    std::string aAttributes = iLine.substr(aColon + 1);
    kxg_outWriteTracelogEx(aFunc, ":以降[%s]", aAttributes.c_str());
    kxl_sekParam(iLine, aAttributes, ioList);
}

int kxl_GetSystemParamSolx(SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    FilePtr aFile = kxg_openFile(kxg_getHostPath("/etc/project"), "r");
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    int aResult = kxl_walkLines(aFile.get(), [&ioList](const std::string& iLine) {
        kxl_setProjectLine(iLine, ioList);
    });
    if (aResult == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
    } else if (aResult == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
    }
    return aResult;
}

} // namespace

int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList)
{
    if (iOSName == "Solaris10") {
        return kxl_GetSystemParamSolx(ioList);
    }
    return kxl_GetSystemParamSol(ioList);
}
