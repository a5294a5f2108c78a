// Remedy.cpp
// A resource control's fix names the control's whole new value list, because projmod -s
// replaces every value of a control: the values the row does not ask about are kept.
#include <cstdio>

#include "ControlValue.h"
#include "KxxComProcess.h"
#include "Remedy.h"
#include "SettingNumber.h"

namespace {

const char* const kProjectNote =
    "プロジェクトに新しく入ったタスク(ログイン、newtask)から有効になります。";
const char* const kApplyNote = "prctl は実行中のプロジェクトにただちに適用します。";
const char* const kProcessNote = "実行中のプロセスには適用されません。";
const char* const kSystemNote =
    "%s の同じ名前の set 行をこの行で置き換え(なければ加え)、システムを再起動してください。";
const char* const kFdMaxNote = "rlim_fd_max も %s 以上にしてください。";
const char* const kZoneNote = "ゾーンの次の起動から有効になります。prctl は実行中のゾーンにただちに適用します。";
const char* const kBrokenNote =
    "このプロジェクトのエントリは %s で止まっているため、まずその値を直してください。";

std::string kxl_format(const char* iFormat, const std::string& iText)
{
    char aText[1024];
    snprintf(aText, sizeof aText, iFormat, iText.c_str());
    return aText;
}

// The value a fix sets: the minimum when the value is wrong, else the value in force.
std::string kxl_getFixValue(const SysPrmRecord& iRec, NumberBase iBase)
{
    unsigned long long aCurrent = 0;
    bool aValueWrong = (iRec.ErrStat & (kErrNotSet | kErrBelowMinimum)) != 0;
    if (!aValueWrong && kxl_cnvSettingNumber(iRec.CurrentValue, iBase, aCurrent) == 0) {
        return std::to_string(aCurrent);
    }
    return std::to_string(iRec.Minimums[0]);
}

// The row's privilege as a resource control writes it: basic or priv.
std::string kxl_getFixPrivilege(const SysPrmRecord& iRec)
{
    std::string aPrivilege = kxl_cnvPrivilege(iRec.Privilege);
    return aPrivilege == "basic" ? "basic" : "priv";
}

// The control's new value list: its values as configured, the one that counts for the
// row replaced by (iPrivilege,iValue,deny), or that added when none has the privilege.
std::string kxl_makeValueList(const SysPrmRecord& iRec, const std::string& iPrivilege,
                              const std::string& iValue)
{
    const std::string aNew = "(" + iPrivilege + "," + iValue + ",deny)";
    std::vector<ControlValue> aValues;
    if (iRec.CurrentControl.empty() ||
        kxl_parseControlValues(iRec.CurrentControl, false, false, aValues) != ValueParse::Values) {
        return aNew;
    }
    const ControlValue* aChosen = &kxl_chooseValue(aValues, iRec.Privilege);
    if (kxl_cnvPrivilege(aChosen->Privilege) != kxl_cnvPrivilege(iPrivilege)) {
        aChosen = nullptr;
    }
    std::string aList;
    for (const ControlValue& aValue : aValues) {
        aList += (aList.empty() ? "" : ",") + (&aValue == aChosen ? aNew : "(" + aValue.Text + ")");
    }
    return aChosen == nullptr ? aList + "," + aNew : aList;
}

void kxl_makeProjectRemedy(const SysPrmRecord& iRec, Remedy& oRemedy)
{
    std::string aProject = !iRec.ProjectName.empty()      ? iRec.ProjectName
                           : !iRec.CurrentProject.empty() ? iRec.CurrentProject
                                                          : "default";
    std::string aPrivilege = kxl_getFixPrivilege(iRec);
    std::string aValue = kxl_getFixValue(iRec, NumberBase::Project);
    oRemedy.Command = "projmod -s -K " +
                      kxg_cnvShellWord(iRec.ParamName + "=" +
                                       kxl_makeValueList(iRec, aPrivilege, aValue)) +
                      " " + kxg_cnvShellWord(aProject);
    oRemedy.File = kProjectFile;
    oRemedy.Note = kProjectNote;
    // prctl reaches a project's own controls; those of its processes and tasks only
    // through each of them.
    if (iRec.ParamName.compare(0, 8, "project.") == 0) {
        oRemedy.ApplyNow = "prctl -n " + kxg_cnvShellWord(iRec.ParamName) + " -t " +
                           (aPrivilege == "basic" ? "basic" : "privileged") + " -v " + aValue +
                           " -r -i project " + kxg_cnvShellWord(aProject);
        oRemedy.Note += kApplyNote;
    } else {
        oRemedy.Note += kProcessNote;
    }
    if (iRec.Problem == SettingProblem::EntryBroken) {
        oRemedy.Note += kxl_format(kBrokenNote, iRec.ProblemDetail);
    }
}

void kxl_makeSystemRemedy(const SysPrmRecord& iRec, Remedy& oRemedy)
{
    bool aBelow = (iRec.ErrStat & kErrBelowMinimum) != 0;
    // The minimum as the report shows it, hexadecimal where the setting is.
    std::string aValue = aBelow ? kxl_getMinimumText(iRec) : std::to_string(iRec.Minimums[0]);
    oRemedy.Command = "set " + iRec.ParamName + "=" + aValue;
    oRemedy.File = iRec.CurrentFile.empty() ? kSystemFile : iRec.CurrentFile;
    oRemedy.Reboot = true;
    oRemedy.Note = kxl_format(kSystemNote, oRemedy.File);
    if (iRec.Origin == LimitOrigin::Lowered && iRec.ParamName == "rlim_fd_cur") {
        oRemedy.Note += kxl_format(kFdMaxNote, aValue);
    }
}

void kxl_makeZoneRemedy(const SysPrmRecord& iRec, Remedy& oRemedy)
{
    std::string aValue = kxl_getFixValue(iRec, NumberBase::Decimal);
    std::string aNew = "add value (priv=privileged,limit=" + aValue + ",action=deny); ";
    std::string aScript;
    // The value that counts is the one whose limit is the value in force.
    size_t aLimit = iRec.CurrentControl.find("limit=" + iRec.CurrentValue + ",");
    if (iRec.CurrentValue.empty() || aLimit == std::string::npos) {
        aScript = "add rctl; set name=" + iRec.ParamName + "; " + aNew + "end; commit";
    } else {
        size_t aOpen = iRec.CurrentControl.rfind('(', aLimit);
        std::string aOld = iRec.CurrentControl.substr(
            aOpen, iRec.CurrentControl.find(')', aLimit) - aOpen + 1);
        aScript = "select rctl name=" + iRec.ParamName + "; remove value " + aOld + "; " + aNew +
                  "end; commit";
    }
    oRemedy.Command = "zonecfg -z " + kxg_cnvShellWord(iRec.CurrentProject) + " " +
                      kxg_cnvShellWord(aScript);
    oRemedy.ApplyNow = "prctl -n " + kxg_cnvShellWord(iRec.ParamName) + " -t privileged -v " +
                       aValue + " -r -i zone " + kxg_cnvShellWord(iRec.CurrentProject);
    oRemedy.Note = kZoneNote;
}

const char* kxl_getRefusalText(const std::string& iReason)
{
    if (iReason == "no-value") {
        return "値 (...) がありません";
    }
    if (iReason == "basic") {
        return "この資源制御に basic の値は指定できません";
    }
    if (iReason == "no-deny") {
        return "この資源制御の値には deny が必要です";
    }
    if (iReason == "deny") {
        return "この資源制御の値に deny は指定できません";
    }
    if (iReason == "signal") {
        return "この資源制御はそのシグナルを送れません";
    }
    return "値が資源制御の上限を超えています";
}

std::string kxl_getProblemNote(const SysPrmRecord& iRec)
{
    switch (iRec.Problem) {
    case SettingProblem::NoValue:
    case SettingProblem::Refused:
        return std::string(iRec.ParamName) + " は適用されません(" +
               kxl_getRefusalText(iRec.ProblemDetail) + ")。";
    case SettingProblem::EntryBroken:
        return "プロジェクト " + (iRec.ProjectName.empty() ? iRec.CurrentProject : iRec.ProjectName).str() +
               " のエントリは " + iRec.ProblemDetail.str() +
               " の値を読めないためそこで終わり、以降の資源制御は適用されず、このプロジェクト"
               "へのログインは失敗します。";
    case SettingProblem::ZoneNotChecked:
        return "zonecfg を実行できないため判定していません。ゾーン全体の資源制御は大域ゾーンか"
               "ら検査してください。";
    default:
        return "";
    }
}

std::string kxl_getOriginNote(const SysPrmRecord& iRec)
{
    switch (iRec.Origin) {
    case LimitOrigin::Default:
        return "設定がないため既定値 " + std::to_string(iRec.DefaultLimit) + " が有効です。";
    case LimitOrigin::Tunable:
        return "設定がないため " + iRec.CurrentFile.str() + " の " + iRec.Tunable +
               " から決まる " + iRec.CurrentValue + " が有効です。";
    case LimitOrigin::Lowered:
        return "カーネルが有効にする値は " + iRec.CurrentValue + " です(" +
               (iRec.ParamName == "rlim_fd_cur" ? "rlim_fd_max まで下げられる" : "下位32ビット") + ")。";
    default:
        return "";
    }
}

} // namespace

std::vector<std::string> kxl_getRecordNotes(const SysPrmRecord& iRec)
{
    std::vector<std::string> aNotes;
    for (const std::string& aNote : {kxl_getOriginNote(iRec), kxl_getProblemNote(iRec)}) {
        if (!aNote.empty()) {
            aNotes.push_back(aNote);
        }
    }
    return aNotes;
}

bool kxl_getRemedy(const SysPrmRecord& iRec, Remedy& oRemedy)
{
    oRemedy = Remedy();
    bool aValueWrong = (iRec.ErrStat & (kErrNotSet | kErrBelowMinimum)) != 0;
    if (iRec.ErrStat == 0 || iRec.MinimumCount != 1 ||
        iRec.Problem == SettingProblem::ZoneNotChecked) {
        return false;
    }
    switch (iRec.Source) {
    case SettingSource::Project:
        kxl_makeProjectRemedy(iRec, oRemedy);
        return true;
    case SettingSource::Zone:
        kxl_makeZoneRemedy(iRec, oRemedy);
        return true;
    default:
        // A privilege is no part of an /etc/system setting.
        if (!aValueWrong) {
            return false;
        }
        kxl_makeSystemRemedy(iRec, oRemedy);
        return true;
    }
}
