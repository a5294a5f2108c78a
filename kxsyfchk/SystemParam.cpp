// SystemParam.cpp
// The host's current settings as Solaris applies them: the "set" statements of
// /etc/system (on Solaris 11 after the fragments of /etc/system.d), the last statement of
// a name being the one in force; and on Solaris 10 and 11 the resource controls of
// /etc/project, the first entry of a project name being the one in force.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComStrCmp.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"
#include "kxsyfchk.h"

namespace {

const char* const kSystemFile = "/etc/system";
const char* const kFragmentDir = "/etc/system.d";
const char* const kProjectFile = "/etc/project";
// A project entry is "name:projid:comment:users:groups:attributes".
const int kProjectColons = 5;

// The records that read one kind of file, by parameter name, each list in list order.
using RecordIndex = std::unordered_map<std::string, std::vector<SysPrmRecord*>>;

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

bool kxl_readsProject(const std::string& iOSName, const SysPrmRecord& iRecord)
{
    return kxl_isProjectOS(iOSName) && kxl_isResourceControl(iRecord.ParamName);
}

// The records that read /etc/project (iProject) or /etc/system, by name.
RecordIndex kxl_makeIndex(const std::string& iOSName, bool iProject, SysPrmList& ioList)
{
    RecordIndex aIndex;
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRecord = ioList.Records[i];
        if (kxl_readsProject(iOSName, aRecord) == iProject) {
            aIndex[aRecord.ParamName].push_back(&aRecord);
        }
    }
    return aIndex;
}

// A part of a line: the lines of a settings file are looked at in place, so that even
// a huge one is held once.
using Text = std::string_view;

Text kxl_trimView(Text iText)
{
    const char* const kBlanks = " \t\r\n";
    size_t aStart = iText.find_first_not_of(kBlanks);
    if (aStart == Text::npos) {
        return Text();
    }
    return iText.substr(aStart, iText.find_last_not_of(kBlanks) - aStart + 1);
}

// The beginning of iText as a field of at most iMax bytes, cut at a character.
std::string kxl_cutField(Text iText, size_t iMax)
{
    std::string aField(iText.substr(0, iMax + 1));
    kxg_cutEucText(aField, iMax);
    return aField;
}

// Writes a trace line of iFormat with one "%.*s" for iText; no more of a huge text is
// looked at than a trace line can hold.
void kxl_traceText(const char* iFunc, const char* iFormat, Text iText)
{
    const size_t kTraceTextMax = 4096;
    kxg_outWriteTracelogEx(iFunc, iFormat, static_cast<int>(std::min(iText.size(), kTraceTextMax)),
                           iText.data());
}

// The variable of a "set" statement: "module:name" or "name", blanks around ":" dropped
// as the kernel's reader drops them.
std::string kxl_cnvSetName(Text iText)
{
    size_t aColon = iText.find(':');
    if (aColon == Text::npos) {
        return std::string(kxl_trimView(iText));
    }
    return std::string(kxl_trimView(iText.substr(0, aColon))) + ":" +
           std::string(kxl_trimView(iText.substr(aColon + 1)));
}

// A "set" statement: the first word is exactly "set", the name runs up to "=", the value
// from there up to a comment ("*" or "#"). 0 statement; 14 no "set" line; -1 no "=".
int kxl_parseSetLine(Text iLine, std::string& oName, Text& oValue)
{
    size_t aWordEnd = std::min(iLine.size(), iLine.find_first_of(" \t"));
    if (iLine.substr(0, aWordEnd) != "set") {
        return 14;
    }
    Text aRest = iLine.substr(std::min(iLine.size(), aWordEnd + 1));
    aRest = aRest.substr(0, aRest.find_first_of("*#"));
    size_t aEqual = aRest.find('=');
    if (aEqual == Text::npos) {
        return -1;
    }
    oName = kxl_cnvSetName(aRest.substr(0, aEqual));
    oValue = kxl_trimView(aRest.substr(aEqual + 1));
    return 0;
}

// Gives the value of one trimmed "set" line to every record of its name; a later line
// of the same name overrides it, as in the kernel.
void kxl_setSystemLine(const std::string& iLine, const std::string& iSource,
                       const RecordIndex& iIndex)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aName;
    Text aText;
    int aParse = kxl_parseSetLine(iLine, aName, aText);
    if (aParse == 14) {
        return;
    }
    kxg_outWriteTracelogEx(aFunc, "set行[%s]", iLine.c_str());
    if (aParse != 0) {
        kxg_outWriteTracelog(aFunc, " = がない。次の行へ");
        return;
    }
    auto aFound = iIndex.find(aName);
    if (aFound == iIndex.end()) {
        kxg_outWriteTracelog(aFunc, "該当パラメタなし");
        return;
    }
    kxg_outWriteTracelogEx(aFunc, "パラメタ発見[%s]", aName.c_str());
    std::string aValue = kxl_cutField(aText, kParamTextMax);
    kxg_outWriteTracelogEx(aFunc, "設定値：[%s]", aValue.c_str());
    // The kernel refuses a statement without a value and keeps the earlier one.
    if (aValue.empty()) {
        return;
    }
    for (SysPrmRecord* aRecord : aFound->second) {
        aRecord->CurrentValue = aValue;
        aRecord->CurrentSource = iSource;
    }
}

// Reads the "set" statements of one file (iPath as on the host) into the records.
int kxl_readSystemFile(const std::string& iPath, const RecordIndex& iIndex)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aPath = kxg_getHostPath(iPath);
    FilePtr aFile = kxg_openInput(aPath);
    if (!aFile) {
        kxg_outWriteTracelogEx(aFunc, "ファイルオープン失敗：%s", aPath.c_str());
        return -9998;
    }
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        kxl_setSystemLine(iLine, iPath, iIndex);
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

// The fragments of /etc/system.d in name order, without names beginning with ".".
// 0 (none when the directory is absent); -9998 the directory cannot be read.
int kxl_getFragments(std::vector<std::string>& oPaths)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aDir = kxg_getHostPath(kFragmentDir);
    std::unique_ptr<DIR, int (*)(DIR*)> aStream(opendir(aDir.c_str()), closedir);
    if (!aStream) {
        if (errno == ENOENT) {
            return 0;
        }
        kxg_outWriteTracelogEx(aFunc, "ファイルオープン失敗：%s", aDir.c_str());
        return -9998;
    }
    std::vector<std::string> aNames;
    while (struct dirent* aEntry = readdir(aStream.get())) {
        if (aEntry->d_name[0] != '.') {
            aNames.push_back(aEntry->d_name);
        }
    }
    std::sort(aNames.begin(), aNames.end());
    for (const std::string& aName : aNames) {
        std::string aPath = std::string(kFragmentDir) + "/" + aName;
        if (kxg_chkFileExist(kxg_getHostPath(aPath)) == 3) {
            oPaths.push_back(aPath);
        } else {
            kxg_outWriteTracelogEx(aFunc, "通常ファイル以外は読み飛ばし[%s]", aPath.c_str());
        }
    }
    return 0;
}

int kxl_GetSystemParamSol(const std::string& iOSName, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    RecordIndex aIndex = kxl_makeIndex(iOSName, false, ioList);
    std::vector<std::string> aFiles;
    if (iOSName == "Solaris11" && kxl_getFragments(aFiles) != 0) {
        return -9998;
    }
    for (const std::string& aFile : aFiles) {
        kxg_outWriteTracelogEx(aFunc, "フラグメントファイル[%s]", aFile.c_str());
        int aResult = kxl_readSystemFile(aFile, aIndex);
        if (aResult != 0) {
            return aResult;
        }
    }
    // /etc/system comes last, so that its statements win.
    return kxl_readSystemFile(kSystemFile, aIndex);
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
    ioRecord.CurrentSource = kProjectFile;
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

int kxl_GetSystemParamSolx(const std::string& iOSName, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    FilePtr aFile = kxg_openInput(kxg_getHostPath(kProjectFile));
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    RecordIndex aIndex = kxl_makeIndex(iOSName, true, ioList);
    std::unordered_set<std::string> aSeen;
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        kxl_setProjectLine(iLine, aIndex, aSeen);
    });
    if (aResult == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
    } else if (aResult == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
    }
    return aResult;
}

// Whether some record reads /etc/project (iProject) or /etc/system.
bool kxl_anyReads(const std::string& iOSName, bool iProject, const SysPrmList& iList)
{
    size_t aCount = kxl_cntRecords(iList);
    return std::any_of(iList.Records.begin(), iList.Records.begin() + aCount,
                       [&](const SysPrmRecord& iRecord) {
                           return kxl_readsProject(iOSName, iRecord) == iProject;
                       });
}

} // namespace

bool kxl_isProjectOS(const std::string& iOSName)
{
    return iOSName == "Solaris10" || iOSName == "Solaris11";
}

bool kxl_isResourceControl(const std::string& iParamName)
{
    for (const char* aPrefix : {"project.", "process.", "task.", "zone."}) {
        if (iParamName.compare(0, strlen(aPrefix), aPrefix) == 0) {
            return true;
        }
    }
    return false;
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

int kxl_getSystemSetting(const std::string& iName, std::string& oValue)
{
    FilePtr aFile = kxg_openInput(kxg_getHostPath(kSystemFile));
    if (!aFile) {
        return -9998;
    }
    int aFound = 14;
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        std::string aName;
        Text aValue;
        if (kxl_parseSetLine(iLine, aName, aValue) == 0 && aName == iName && !aValue.empty()) {
            oValue = std::string(aValue);
            aFound = 0;
        }
    });
    return aResult != 0 ? -9998 : aFound;
}

int kxl_GetSystemParam(const std::string& iOSName, SysPrmList& ioList)
{
    if (kxl_anyReads(iOSName, true, ioList)) {
        int aResult = kxl_GetSystemParamSolx(iOSName, ioList);
        if (aResult != 0) {
            return aResult;
        }
    }
    if (kxl_anyReads(iOSName, false, ioList)) {
        return kxl_GetSystemParamSol(iOSName, ioList);
    }
    return 0;
}
