// EtcProject.cpp
// An entry's attributes are applied as setproject applies them at a login: attribute by
// attribute, controls the release does not know passed over, a control whose value the
// kernel refuses left out, and the whole rest of the entry dropped at the first value
// that cannot be read.
#include <algorithm>
#include <unordered_set>

#include "ControlValue.h"
#include "EtcProject.h"
#include "HostText.h"
#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComSysBase.h"
#include "ResourceControl.h"

namespace {

const char* const kSekFunc = "kxl_sekParam";
// A project entry is "name:projid:comment:users:groups:attributes".
const int kProjectColons = 5;

// What the reading of /etc/project works with.
struct ProjectScan {
    SysPrmList& List;
    int Minor;                             // the release, 10 for Solaris 10
    std::unordered_set<std::string> Seen;  // project names whose entry counted
};

bool kxl_hasValue(const SysPrmRecord& iRecord)
{
    return !iRecord.CurrentValue.empty();
}

// Whether the record takes settings of project iProject's entry: a record of that
// project, or one without a project not yet given an entry's setting.
bool kxl_isForProject(const SysPrmRecord& iRecord, const std::string& iProject)
{
    if (!iRecord.ProjectName.empty()) {
        return iRecord.ProjectName == iProject;
    }
    return iRecord.CurrentProject.empty() || iRecord.CurrentProject == iProject;
}

// The position of the first iSep in iText not escaped by a backslash; npos when none.
size_t kxl_findUnescaped(Text iText, char iSep, size_t iFrom = 0)
{
    for (size_t i = iFrom; i < iText.size(); i++) {
        if (iText[i] == iSep && (i == 0 || iText[i - 1] != '\\')) {
            return i;
        }
    }
    return Text::npos;
}

// A key or value of the attribute list: blanks around it dropped, escapes undone.
std::string kxl_cnvAttribute(Text iText)
{
    const char* const kBlanks = " \t\r\n\f\v";
    size_t aStart = iText.find_first_not_of(kBlanks);
    if (aStart == Text::npos) {
        return "";
    }
    iText = iText.substr(aStart, iText.find_last_not_of(kBlanks) - aStart + 1);
    std::string aText;
    for (size_t i = 0; i < iText.size(); i++) {
        bool aEscape = iText[i] == '\\' && i + 1 < iText.size() &&
                       Text("=;:,\\").find(iText[i + 1]) != Text::npos;
        aText += iText[aEscape ? ++i : i];
    }
    return aText;
}

const char* kxl_getRefusalName(ValueRefusal iRefusal)
{
    switch (iRefusal) {
    case ValueRefusal::Basic:
        return "basic";
    case ValueRefusal::NoDeny:
        return "no-deny";
    case ValueRefusal::Deny:
        return "deny";
    case ValueRefusal::Signal:
        return "signal";
    default:
        return "maximum";
    }
}

// Why the kernel refuses one of the control's values; None when it takes them all.
ValueRefusal kxl_chkValues(const ResourceControl* iControl, const std::vector<ControlValue>& iValues)
{
    for (const ControlValue& aValue : iValues) {
        ValueRefusal aRefusal =
            iControl == nullptr
                ? ValueRefusal::None
                : kxl_chkControlValue(*iControl, aValue.Basic, aValue.Number, aValue.Deny,
                                      aValue.Signal);
        if (aRefusal != ValueRefusal::None) {
            return aRefusal;
        }
    }
    return ValueRefusal::None;
}

// Stores the value of the control that counts for the record.
void kxl_setControlValue(const std::string& iProject, const std::vector<ControlValue>& iValues,
                         SysPrmRecord& ioRecord)
{
    const ControlValue& aValue = kxl_chooseValue(iValues, ioRecord.Privilege);
    kxl_traceText(kSekFunc, "括弧内の値[%.*s]", aValue.Text);
    ioRecord.CurrentPrivilege = kxl_cutField(aValue.Privilege, kPrivilegeMax);
    kxg_outDetailTracelogEx(kSekFunc, "設定する権限レベル[%s]", ioRecord.CurrentPrivilege.c_str());
    ioRecord.CurrentValue = kxl_cutField(aValue.Value, kParamTextMax);
    ioRecord.CurrentFile = kProjectFile;
    ioRecord.CurrentProject = iProject;
    ioRecord.CurrentControl.clear();
    for (const ControlValue& aEach : iValues) {
        ioRecord.CurrentControl += (ioRecord.CurrentControl.empty() ? "(" : ",(") + aEach.Text + ")";
    }
    ioRecord.Problem = SettingProblem::None;
    ioRecord.ProblemDetail = SharedText();
    kxg_outDetailTracelogEx(kSekFunc, "設定する値[%s]", ioRecord.CurrentValue.c_str());
}

// Gives the control's values, or why they are not in force, to the records of the control
// that take settings of this project's entry. false when none does.
bool kxl_setControl(const std::string& iProject, const std::string& iName, ValueParse iParse,
                    ValueRefusal iRefusal, const std::vector<ControlValue>& iValues,
                    SysPrmList& ioList)
{
    bool aTaken = false;
    kxl_forEachNamed(ioList, iName, SettingSource::Project, [&](SysPrmRecord& ioRecord) {
        if (!kxl_isForProject(ioRecord, iProject)) {
            kxg_outDetailTracelog(kSekFunc, "指定された以外のプロジェクト");
            return;
        }
        aTaken = true;
        kxg_outDetailTracelogEx(kSekFunc, "パラメタ発見[%s]", ioRecord.ParamName.c_str());
        if (iParse == ValueParse::Values && iRefusal == ValueRefusal::None) {
            kxl_setControlValue(iProject, iValues, ioRecord);
        } else if (!kxl_hasValue(ioRecord) && !ioRecord.ProjectName.empty()) {
            // A later valid occurrence in the entry still replaces this one.
            ioRecord.Problem = iParse == ValueParse::NoValue ? SettingProblem::NoValue
                                                             : SettingProblem::Refused;
            ioRecord.ProblemDetail = iParse == ValueParse::NoValue    ? "no-value"
                                     : iParse == ValueParse::BasicValue ? "basic"
                                                                        : kxl_getRefusalName(iRefusal);
            ioRecord.CurrentFile = kProjectFile;
        }
    });
    return aTaken;
}

// Marks every record that takes settings of the project: its entry ends at iControl and
// logins into the project fail.
void kxl_setEntryBroken(const std::string& iProject, const std::string& iControl, SysPrmList& ioList)
{
    kxl_forEachOf(ioList, SettingSource::Project, [&](SysPrmRecord& ioRecord) {
        bool aOwn = ioRecord.ProjectName.empty() ? ioRecord.CurrentProject == iProject
                                                 : ioRecord.ProjectName == iProject;
        if (aOwn) {
            ioRecord.Problem = SettingProblem::EntryBroken;
            ioRecord.ProblemDetail = iControl;
            ioRecord.CurrentFile = kProjectFile;
        }
    });
}

// Applies one attribute "key=value" of project iProject's entry. false when setproject
// stops reading the entry at it.
bool kxl_setAttribute(const std::string& iProject, Text iBlock, ProjectScan& ioScan)
{
    iBlock.remove_prefix(std::min(iBlock.size(), iBlock.find_first_not_of(" \t\r\n")));
    kxl_traceText(kSekFunc, "ブロック[%.*s]", iBlock);
    size_t aEqual = kxl_findUnescaped(iBlock, '=');
    std::string aName = kxl_cnvAttribute(iBlock.substr(0, aEqual));
    std::string aValue = aEqual == Text::npos ? "" : kxl_cnvAttribute(iBlock.substr(aEqual + 1));
    const ResourceControl* aControl = kxl_findControl(aName, ioScan.Minor);
    bool aWanted = kxl_findFirstOf(ioScan.List, aName, SettingSource::Project) != 0;
    if (aControl == nullptr && !aWanted) {
        kxg_outDetailTracelog(kSekFunc, "該当パラメタなし");
        return true;
    }
    if (aName.compare(0, 5, "zone.") == 0) {
        kxg_outDetailTracelogEx(kSekFunc, "ゾーン全体の資源制御は/etc/projectでは効果なし[%s]",
                               aName.c_str());
        return true;
    }
    if (aEqual == Text::npos) {
        kxg_outDetailTracelog(kSekFunc, "パラメタ名の後ろに'='が無い場合、次のブロックへ");
    }
    bool aDenyAlways = aControl != nullptr && (aControl->Flags & kRctlDenyAlways) != 0;
    std::vector<ControlValue> aValues;
    ValueParse aParse = kxl_parseControlValues(aValue, aName.compare(0, 8, "project.") == 0,
                                               aDenyAlways, aValues);
    if (aParse == ValueParse::Invalid) {
        kxg_outWriteTracelogEx(kSekFunc,
                               "値を読めないためエントリはここで終わり、以降の資源制御は適用され"
                               "ない(プロジェクトへのログインは失敗する)[%s]",
                               aName.c_str());
        kxl_setEntryBroken(iProject, aName, ioScan.List);
        return false;
    }
    ValueRefusal aRefusal =
        aParse == ValueParse::Values ? kxl_chkValues(aControl, aValues) : ValueRefusal::None;
    if (aParse == ValueParse::NoValue) {
        kxg_outDetailTracelog(kSekFunc, "取得した文字列に'('または')'が含まれていない場合、次のブロックへ");
    } else if (aParse == ValueParse::BasicValue || aRefusal != ValueRefusal::None) {
        kxg_outWriteTracelogEx(kSekFunc, "受け付けられない値のため適用されない[%s][%s]", aName.c_str(),
                               aParse == ValueParse::BasicValue ? "basic"
                                                                : kxl_getRefusalName(aRefusal));
    }
    if (!kxl_setControl(iProject, aName, aParse, aRefusal, aValues, ioScan.List)) {
        kxg_outDetailTracelog(kSekFunc, "該当パラメタなし");
    }
    return true;
}

// Applies the attributes of one project entry, the blocks between unescaped ";" (an empty
// one after a final ";" not counted), until one stops the entry.
void kxl_sekParam(const std::string& iProject, Text iAttributes, ProjectScan& ioScan)
{
    while (!iAttributes.empty()) {
        size_t aEnd = kxl_findUnescaped(iAttributes, ';');
        if (!kxl_setAttribute(iProject, iAttributes.substr(0, aEnd), ioScan)) {
            return;
        }
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

void kxl_setProjectLine(const std::string& iLine, ProjectScan& ioScan)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    kxl_traceText(aFunc, "空行以外[%.*s]", iLine);
    std::string aName;
    Text aAttributes;
    int aParse = kxl_parseProjectEntry(iLine, aName, aAttributes);
    if (aParse == 14) {
        kxg_outDetailTracelog(aFunc, ":が含まれない場合、次の行へ");
        return;
    }
    if (aParse != 0) {
        kxg_outDetailTracelog(aFunc, "プロジェクトの形式でない場合、次の行へ");
        return;
    }
    kxl_traceText(aFunc, ":以降[%.*s]", aAttributes);
    // The name service returns the first entry of a name; later ones are never used.
    if (!ioScan.Seen.insert(aName).second) {
        kxg_outDetailTracelogEx(aFunc, "同名プロジェクトの2つ目以降のエントリは無効[%s]",
                               aName.c_str());
        return;
    }
    kxl_sekParam(aName, aAttributes, ioScan);
}

} // namespace

int kxl_GetSystemParamSolx(const std::string& iOSName, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSolx";
    FilePtr aFile = kxg_openInput(kxg_getHostPath(kProjectFile));
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    ProjectScan aScan{ioList, kxl_getOSMinor(iOSName), {}};
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        kxl_setProjectLine(iLine, aScan);
    });
    if (aResult == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
    } else if (aResult == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
    }
    return aResult;
}
