// EtcProject.cpp
#include <algorithm>
#include <unordered_set>

#include "EtcProject.h"
#include "HostText.h"
#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComStrCmp.h"
#include "KxxComSysBase.h"

namespace {

// A project entry is "name:projid:comment:users:groups:attributes".
const int kProjectColons = 5;

bool kxl_hasValue(const SysPrmRecord& iRecord)
{
    return !iRecord.CurrentValue.empty();
}

// The triples "(privilege,value,action)" of a resource control's value, each without its
// parentheses. false when there is no complete one.
bool kxl_cutTriples(Text iValue, std::vector<Text>& oTriples)
{
    size_t aOpen = iValue.find('(');
    while (aOpen != Text::npos) {
        size_t aClose = iValue.find(')', aOpen + 1);
        if (aClose == Text::npos) {
            break;
        }
        oTriples.push_back(iValue.substr(aOpen + 1, aClose - aOpen - 1));
        aOpen = iValue.find('(', aClose + 1);
    }
    return !oTriples.empty();
}

// Item iIndex (0 privilege, 1 value, 2 action) of a triple, trimmed.
Text kxl_getTripleItem(Text iTriple, int iIndex)
{
    for (int i = 0; i < iIndex; i++) {
        size_t aComma = iTriple.find(',');
        iTriple = aComma == Text::npos ? Text() : iTriple.substr(aComma + 1);
    }
    return kxl_trimView(iTriple.substr(0, iTriple.find(',')));
}

// Whether the privilege word iItem names the privilege iWanted (in kxl_cnvPrivilege's
// spelling); a word longer than any privilege word is none of them.
bool kxl_isPrivilege(Text iItem, const std::string& iWanted)
{
    return iItem.size() <= kPrivilegeMax && kxl_cnvPrivilege(std::string(iItem)) == iWanted;
}

// The triple that counts for a row requiring iPrivilege: the one with that privilege and
// the action deny, else the first with that privilege, else the first.
Text kxl_chooseTriple(const std::vector<Text>& iTriples, const std::string& iPrivilege)
{
    const std::string aWanted = kxl_cnvPrivilege(iPrivilege);
    const Text* aSamePrivilege = nullptr;
    for (const Text& aTriple : iTriples) {
        if (aWanted.empty() || !kxl_isPrivilege(kxl_getTripleItem(aTriple, 0), aWanted)) {
            continue;
        }
        Text aAction = kxl_getTripleItem(aTriple, 2);
        if (aAction.size() == 4 && kxg_cmpStri(std::string(aAction).c_str(), "deny") == 0) {
            return aTriple;
        }
        if (aSamePrivilege == nullptr) {
            aSamePrivilege = &aTriple;
        }
    }
    return aSamePrivilege != nullptr ? *aSamePrivilege : iTriples.front();
}

// Stores privilege and value of the control's triple that counts for the record.
void kxl_setControlValue(const std::string& iProject, Text iValue, SysPrmRecord& ioRecord)
{
    const char* aFunc = "kxl_sekParam";
    std::vector<Text> aTriples;
    if (!kxl_cutTriples(iValue, aTriples)) {
        kxg_outWriteTracelog(aFunc, "取得した文字列に'('または')'が含まれていない場合、次のブロックへ");
        return;
    }
    Text aTriple = kxl_chooseTriple(aTriples, ioRecord.Privilege);
    kxl_traceText(aFunc, "括弧内の値[%.*s]", aTriple);
    ioRecord.CurrentPrivilege = kxl_cutField(kxl_getTripleItem(aTriple, 0), kPrivilegeMax);
    kxg_outWriteTracelogEx(aFunc, "設定する権限レベル[%s]", ioRecord.CurrentPrivilege.c_str());
    ioRecord.CurrentValue = kxl_cutField(kxl_getTripleItem(aTriple, 1), kParamTextMax);
    ioRecord.CurrentFile = kProjectFile;
    ioRecord.CurrentProject = iProject;
    kxg_outWriteTracelogEx(aFunc, "設定する値[%s]", ioRecord.CurrentValue.c_str());
}

// Gives one "name=value" block of project iProject to the records of that control that
// want it: those of that project, and those of any project still without a value.
void kxl_setProjectBlock(const std::string& iProject, Text iBlock, const RecordIndex& iIndex)
{
    const char* aFunc = "kxl_sekParam";
    iBlock.remove_prefix(std::min(iBlock.size(), iBlock.find_first_not_of(" \t\r\n")));
    kxl_traceText(aFunc, "ブロック[%.*s]", iBlock);
    size_t aEqual = iBlock.find('=');
    auto aFound = iIndex.find(std::string(iBlock.substr(0, aEqual)));
    if (aFound == iIndex.end()) {
        kxg_outWriteTracelog(aFunc, "該当パラメタなし");
        return;
    }
    bool aTaken = false;
    for (SysPrmRecord* aRecord : aFound->second) {
        if (kxl_hasValue(*aRecord)) {
            continue;
        }
        if (!aRecord->ProjectName.empty() && aRecord->ProjectName != iProject) {
            kxg_outWriteTracelog(aFunc, "指定された以外のプロジェクト");
            continue;
        }
        aTaken = true;
        kxg_outWriteTracelogEx(aFunc, "パラメタ発見[%s]", aRecord->ParamName.c_str());
        if (aEqual == Text::npos) {
            kxg_outWriteTracelog(aFunc, "パラメタ名の後ろに'='が無い場合、次のブロックへ");
            continue;
        }
        kxl_setControlValue(iProject, iBlock.substr(aEqual + 1), *aRecord);
    }
    if (!aTaken) {
        kxg_outWriteTracelog(aFunc, "該当パラメタなし");
    }
}

// Gives the resource controls of one project entry to the records that want them: the
// blocks between ";", as many as there are, an empty one after a final ";" not counted.
void kxl_sekParam(const std::string& iProject, Text iAttributes, const RecordIndex& iIndex)
{
    while (!iAttributes.empty()) {
        size_t aEnd = iAttributes.find(';');
        kxl_setProjectBlock(iProject, iAttributes.substr(0, aEnd), iIndex);
        iAttributes = aEnd == Text::npos ? Text() : iAttributes.substr(aEnd + 1);
    }
}

// Name and attributes of a project entry. 0 an entry; 14 no ":" at all; -1 not an entry
// (fewer than six fields, or no name or project number), which Solaris passes over.
int kxl_parseProjectEntry(Text iLine, std::string& oName, Text& oAttributes)
{
    if (iLine.find(':') == Text::npos) {
        return 14;
    }
    size_t aColon[kProjectColons];
    size_t aFrom = 0;
    for (size_t& aAt : aColon) {
        aAt = iLine.find(':', aFrom);
        if (aAt == Text::npos) {
            return -1;
        }
        aFrom = aAt + 1;
    }
    if (aColon[0] == 0 || aColon[1] == aColon[0] + 1) {
        return -1;
    }
    oName = std::string(iLine.substr(0, aColon[0]));
    oAttributes = iLine.substr(aColon[kProjectColons - 1] + 1);
    return 0;
}

void kxl_setProjectLine(const std::string& iLine, const RecordIndex& iIndex,
                        std::unordered_set<std::string>& ioSeen)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    kxl_traceText(aFunc, "空行以外[%.*s]", iLine);
    std::string aName;
    Text aAttributes;
    int aParse = kxl_parseProjectEntry(iLine, aName, aAttributes);
    if (aParse == 14) {
        kxg_outWriteTracelog(aFunc, ":が含まれない場合、次の行へ");
        return;
    }
    if (aParse != 0) {
        kxg_outWriteTracelog(aFunc, "プロジェクトの形式でない場合、次の行へ");
        return;
    }
    kxl_traceText(aFunc, ":以降[%.*s]", aAttributes);
    // The name service returns the first entry of a name; later ones are never used.
    if (!ioSeen.insert(aName).second) {
        kxg_outWriteTracelogEx(aFunc, "同名プロジェクトの2つ目以降のエントリは無効[%s]",
                               aName.c_str());
        return;
    }
    kxl_sekParam(aName, aAttributes, iIndex);
}

} // namespace

int kxl_GetSystemParamSolx(const RecordIndex& iIndex)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    FilePtr aFile = kxg_openInput(kxg_getHostPath(kProjectFile));
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    std::unordered_set<std::string> aSeen;
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        kxl_setProjectLine(iLine, iIndex, aSeen);
    });
    if (aResult == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
    } else if (aResult == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
    }
    return aResult;
}

std::string kxl_cnvPrivilege(const std::string& iPrivilege)
{
    std::string aUpper = iPrivilege;
    kxg_toUpper(aUpper);
    if (aUpper == "PRIVILEGED" || aUpper == "PRIV") {
        return "priv";
    }
    if (aUpper == "BASIC") {
        return "basic";
    }
    if (aUpper == "SYSTEM") {
        return "system";
    }
    return iPrivilege;
}
