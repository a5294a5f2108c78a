// JsonReport.cpp
// The results for programs (KXSYFCHK_JSON): the run, and one object per applicable
// requirement row with its verdict and the command that would meet the requirement.
// The document is UTF-8 and replaces the file whole, so a reader never sees half of one.
// It is written from the judged records alone: nothing is worked out or run again.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "EtcProject.h"
#include "JsonReport.h"
#include "KxxComCodeConv.h"
#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"
#include "ParamList.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const kJsonFunc = "kxl_outJsonReport";
const char* const kProjectFix = "プロジェクトの新しいタスク(ログイン、newtask)から有効になります。";
const char* const kSystemFix =
    "/etc/system にこの行を加え(同じ名前の set 行は置き換え)、システムを再起動してください。";

struct KxIconvCloser {
    void operator()(void* iDesc) const { iconv_close(static_cast<iconv_t>(iDesc)); }
};
using IconvPtr = std::unique_ptr<void, KxIconvCloser>;

// A descriptor from the program's EUC-JP to UTF-8; empty when the platform has none.
IconvPtr kxl_openUtf8()
{
    iconv_t aDesc = iconv_open("UTF-8", "EUC-JP");
    return IconvPtr(aDesc == reinterpret_cast<iconv_t>(-1) ? nullptr : aDesc);
}

// iText as UTF-8, converted like every text the tool writes.
std::string kxl_toUtf8(void* iDesc, const std::string& iText)
{
    if (iDesc == nullptr) {
        return iText;
    }
    std::string aText;
    kxg_cnvText(static_cast<iconv_t>(iDesc), iText.data(), iText.size(), aText);
    return aText;
}

Json kxl_textOrNull(void* iDesc, const std::string& iText)
{
    return iText.empty() ? Json(nullptr) : Json(kxl_toUtf8(iDesc, iText));
}

Json kxl_getVerdicts(int iErrStat)
{
    Json aVerdicts = Json::array();
    if (iErrStat & kErrNotSet) {
        aVerdicts.push_back("not-set");
    }
    if (iErrStat & kErrBelowMinimum) {
        aVerdicts.push_back("below-minimum");
    }
    if (iErrStat & kErrPrivilege) {
        aVerdicts.push_back("wrong-privilege");
    }
    if (aVerdicts.empty()) {
        aVerdicts.push_back("ok");
    }
    return aVerdicts;
}

// The minimum as the evaluation left it; empty when it is not known.
std::string kxl_getRowMinimum(const SysPrmRecord& iRec)
{
    std::string aMinimum = iRec.MinimumCount > 0 ? iRec.MinimumValue : "";
    return kxg_trimRight(aMinimum);
}

// The command that would meet the record's requirement: projmod for a resource control
// of /etc/project, the "set" line of /etc/system otherwise. null when nothing is to be
// done or nothing can be said.
Json kxl_makeFix(const SysPrmRecord& iRec, const std::string& iMinimum)
{
    bool aValueWrong = (iRec.ErrStat & (kErrNotSet | kErrBelowMinimum)) != 0;
    std::string aValue = aValueWrong ? iMinimum : iRec.CurrentValue;
    bool aProject = iRec.Source == SettingSource::Project;
    // A privilege is no part of an /etc/system setting.
    if (iRec.ErrStat == 0 || aValue.empty() || (!aProject && !aValueWrong)) {
        return nullptr;
    }
    Json aFix;
    if (aProject) {
        std::string aPrivilege = kxl_cnvPrivilege(iRec.Privilege);
        std::string aProjectName = !iRec.ProjectName.empty()      ? iRec.ProjectName
                                   : !iRec.CurrentProject.empty() ? iRec.CurrentProject
                                                                  : "default";
        aFix["command"] = "projmod -s -K " +
                          kxg_cnvShellWord(iRec.ParamName + "=(" +
                                           (aPrivilege.empty() ? "priv" : aPrivilege) + "," +
                                           aValue + ",deny)") +
                          " " + kxg_cnvShellWord(aProjectName);
        aFix["reboot"] = false;
        aFix["note"] = kProjectFix;
    } else {
        aFix["command"] = "set " + iRec.ParamName + "=" + aValue;
        aFix["reboot"] = true;
        aFix["note"] = kSystemFix;
    }
    return aFix;
}

Json kxl_makeRow(const SysPrmRecord& iRec, void* iUtf8)
{
    std::string aMinimum = kxl_getRowMinimum(iRec);
    Json aRow;
    aRow["parameter"] = kxl_toUtf8(iUtf8, iRec.ParamName);
    aRow["project"] = kxl_toUtf8(iUtf8, iRec.ProjectName);
    aRow["privilege"] = kxl_toUtf8(iUtf8, iRec.Privilege);
    aRow["criterion"] = kxl_toUtf8(iUtf8, iRec.Criterion);
    aRow["minimum"] = kxl_textOrNull(iUtf8, aMinimum);
    aRow["value"] = kxl_textOrNull(iUtf8, iRec.CurrentValue);
    aRow["current_privilege"] = kxl_textOrNull(iUtf8, iRec.CurrentPrivilege);
    aRow["file"] = kxl_textOrNull(iUtf8, iRec.CurrentFile);
    aRow["verdict"] = kxl_getVerdicts(iRec.ErrStat);
    Json aFix = kxl_makeFix(iRec, aMinimum);
    if (!aFix.is_null()) {
        aFix["command"] = kxl_toUtf8(iUtf8, aFix["command"].get<std::string>());
        aFix["note"] = kxl_toUtf8(iUtf8, aFix["note"].get<std::string>());
    }
    aRow["fix"] = aFix;
    return aRow;
}

Json kxl_makeProduct(const InstallInfo& iInfo, void* iUtf8)
{
    std::string aEdition = kxl_editionCode(iInfo.Type);
    Json aProduct;
    aProduct["role"] = kxl_toUtf8(iUtf8, iInfo.InstallType);
    aProduct["edition"] = aEdition.empty() ? Json(nullptr) : Json(aEdition);
    aProduct["version"] = {{"major", iInfo.MajorVersion},
                           {"minor", iInfo.MinorVersion},
                           {"level", iInfo.MajorLevel}};
    return aProduct;
}

// One row per record of the judged list.
Json kxl_makeRows(const SysPrmList& iList, void* iUtf8)
{
    Json aRows = Json::array();
    size_t aCount = kxl_cntRecords(iList);
    for (size_t i = 0; i < aCount; i++) {
        aRows.push_back(kxl_makeRow(iList.Records[i], iUtf8));
    }
    return aRows;
}

Json kxl_makeDocument(const JsonReport& iJson, int iStatus, const InstallInfo& iInfo,
                      const std::string& iOutLog, const SysPrmList& iList, void* iUtf8)
{
    bool aRan = iStatus != 255;
    Json aDoc;
    aDoc["tool"] = "kxsyfchk";
    aDoc["version"] = KX_VERSION;
    aDoc["os"] = iJson.OSName.empty() ? Json(nullptr) : Json(iJson.OSName);
    aDoc["release"] = iJson.OSName.empty() ? Json(nullptr) : Json("5." + iJson.OSName.substr(7));
    aDoc["product"] = aRan && iInfo.VOXLFlg == 1 ? kxl_makeProduct(iInfo, iUtf8) : Json(nullptr);
    aDoc["exit_status"] = iStatus;
    // Paths from the root: a reader of the document may work in another directory.
    aDoc["trace"] = gKXDefChkPath ? Json(kxg_getAbsolutePath(kxg_getTracePath())) : Json(nullptr);
    aDoc["output_log"] = iOutLog.empty() ? Json(nullptr) : Json(kxg_getAbsolutePath(iOutLog));
    aDoc["requirements"] = aRan ? kxl_makeRows(iList, iUtf8) : Json::array();
    return aDoc;
}

// Writes iText to a new file beside iPath and renames it over iPath. 0; else errno.
int kxl_replaceFile(const std::string& iPath, const std::string& iText)
{
    std::string aTemp = iPath + ".XXXXXX";
    int aFd = mkstemp(&aTemp[0]);
    if (aFd < 0) {
        return errno;
    }
    mode_t aMask = umask(0);
    umask(aMask);
    fchmod(aFd, 0666 & ~aMask);
    ssize_t aWritten = write(aFd, iText.data(), iText.size());
    int aError = aWritten == static_cast<ssize_t>(iText.size()) ? 0 : (aWritten < 0 ? errno : EIO);
    if (close(aFd) != 0 && aError == 0) {
        aError = errno;
    }
    if (aError == 0 && rename(aTemp.c_str(), iPath.c_str()) != 0) {
        aError = errno;
    }
    if (aError != 0) {
        unlink(aTemp.c_str());
    }
    return aError;
}

} // namespace

void kxl_iniJsonReport(JsonReport& oJson)
{
    const char* aPath = getenv("KXSYFCHK_JSON");
    oJson = JsonReport{};
    oJson.Path = aPath != nullptr ? aPath : "";
}

void kxl_outJsonReport(const JsonReport& iJson, int iResult, const InstallInfo& iInfo,
                       const std::string& iOutLog, const SysPrmList& iList)
{
    if (iJson.Path.empty()) {
        return;
    }
    int aStatus = (iResult == -9999 ? -1 : iResult) & 0xFF;
    IconvPtr aUtf8 = kxl_openUtf8();
    std::string aText;
    try {
        Json aDoc = kxl_makeDocument(iJson, aStatus, iInfo, iOutLog, iList, aUtf8.get());
        // Paths are written as the file system has them; bytes that are no UTF-8 are
        // replaced rather than making the document invalid.
        aText = aDoc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    } catch (const std::exception& iError) {
        kxg_outWriteTracelogEx(kJsonFunc, "JSONファイル作成エラー[%s]", iError.what());
        return;
    }
    int aError = kxl_replaceFile(iJson.Path, aText);
    if (aError != 0) {
        kxg_outWriteTracelogEx(kJsonFunc, "JSONファイル出力エラー[%s][%s]", iJson.Path.c_str(),
                               strerror(aError));
        return;
    }
    kxg_outWriteTracelogEx(kJsonFunc, "JSONファイル出力[%s]", iJson.Path.c_str());
}
