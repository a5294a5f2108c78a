// JsonReport.cpp
// The results for programs (KXSYFCHK_JSON): the run, and one object per applicable
// requirement row with its verdict and the command that would meet the requirement.
// The document is UTF-8 and replaces the file whole, so a reader never sees half of one.
// It is written from the judged records alone: nothing is worked out or run again.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "ControlValue.h"
#include "JsonReport.h"
#include "KxxComCodeConv.h"
#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"
#include "ParamList.h"
#include "Remedy.h"
#include "SettingNumber.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const kJsonFunc = "kxl_outJsonReport";
// The version of the document's form (schema/kxsyfchk-results.schema.json).
const int kFormat = 2;

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

std::string kxl_trimText(std::string iText)
{
    return kxg_trimRight(iText);
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

// A number of iText read as its source writes it; null when it is none.
Json kxl_getNumber(const std::string& iText, NumberBase iBase)
{
    unsigned long long aValue = 0;
    return kxl_cnvSettingNumber(iText, iBase, aValue) == 0 ? Json(aValue) : Json(nullptr);
}

// The minimum as a number, four numbers for an optcri row; null when not known.
Json kxl_getMinimum(const SysPrmRecord& iRec)
{
    if (iRec.MinimumCount <= 1) {
        return iRec.MinimumCount == 1 ? Json(iRec.Minimums[0]) : Json(nullptr);
    }
    Json aMinimums = Json::array();
    for (int i = 0; i < iRec.MinimumCount; i++) {
        aMinimums.push_back(iRec.Minimums[i]);
    }
    return aMinimums;
}

// The value the row was judged by as a number (four for an optcri row): the setting, or
// the default limit when nothing sets the control; null when there is none.
Json kxl_getValue(const SysPrmRecord& iRec)
{
    if (iRec.CurrentValue.empty()) {
        return iRec.Origin == LimitOrigin::Default ? Json(iRec.DefaultLimit) : Json(nullptr);
    }
    NumberBase aBase = kxl_getNumberBase(iRec.Source);
    if (iRec.Criterion != "optcri") {
        return kxl_getNumber(iRec.CurrentValue, aBase);
    }
    Json aValues = Json::array();
    uint32_t aPos = 0;
    std::string aWord;
    for (kxg_cutBlTbWord(iRec.CurrentValue, aPos, aWord); !aWord.empty();
         kxg_cutBlTbWord(iRec.CurrentValue, aPos, aWord)) {
        aValues.push_back(kxl_getNumber(aWord, aBase));
    }
    return aValues;
}

// Where the limit the row was judged by comes from: the file that sets it, "default" or
// "zonecfg"; null when nothing does.
Json kxl_getSource(const SysPrmRecord& iRec, void* iUtf8)
{
    if (iRec.Origin == LimitOrigin::Default) {
        return "default";
    }
    if (iRec.CurrentValue.empty()) {
        return nullptr;
    }
    return kxl_textOrNull(iUtf8, iRec.CurrentFile);
}

Json kxl_makeFix(const SysPrmRecord& iRec, void* iUtf8)
{
    Remedy aRemedy;
    if (!kxl_getRemedy(iRec, aRemedy)) {
        return nullptr;
    }
    Json aFix;
    aFix["command"] = kxl_toUtf8(iUtf8, aRemedy.Command);
    aFix["apply_now"] = kxl_textOrNull(iUtf8, aRemedy.ApplyNow);
    aFix["file"] = kxl_toUtf8(iUtf8, aRemedy.File);
    aFix["reboot"] = aRemedy.Reboot;
    aFix["note"] = kxl_toUtf8(iUtf8, aRemedy.Note);
    return aFix;
}

Json kxl_makeRow(const SysPrmRecord& iRec, void* iUtf8)
{
    Json aRow;
    aRow["parameter"] = kxl_toUtf8(iUtf8, iRec.ParamName);
    aRow["project"] = kxl_textOrNull(iUtf8, iRec.ProjectName);
    aRow["privilege"] = kxl_textOrNull(iUtf8, iRec.Privilege);
    aRow["criterion"] = kxl_toUtf8(iUtf8, iRec.Criterion);
    aRow["verdict"] = kxl_getVerdicts(iRec.ErrStat);
    aRow["minimum"] = kxl_getMinimum(iRec);
    aRow["minimum_text"] = iRec.MinimumCount > 0 ? kxl_textOrNull(iUtf8, kxl_trimText(kxl_getMinimumText(iRec)))
                                                 : Json(nullptr);
    aRow["value"] = kxl_getValue(iRec);
    aRow["value_text"] = kxl_textOrNull(iUtf8, iRec.CurrentValue);
    aRow["current_privilege"] = kxl_textOrNull(
        iUtf8, iRec.CurrentValue.empty() ? std::string(iRec.DefaultPrivilege) : iRec.CurrentPrivilege.str());
    aRow["source"] = kxl_getSource(iRec, iUtf8);
    aRow["tunable"] = iRec.Origin == LimitOrigin::Tunable ? Json(iRec.Tunable) : Json(nullptr);
    aRow["entry"] = kxl_textOrNull(iUtf8, iRec.CurrentProject);
    Json aNotes = Json::array();
    for (const std::string& aNote : kxl_getRecordNotes(iRec)) {
        aNotes.push_back(kxl_toUtf8(iUtf8, aNote));
    }
    aRow["notes"] = aNotes;
    aRow["fix"] = kxl_makeFix(iRec, iUtf8);
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

// The "key: value" lines of a snapshot's MANIFEST, when the host is one.
std::map<std::string, std::string> kxl_readManifest()
{
    std::map<std::string, std::string> aManifest;
    const char* aRoot = getenv("KXDEFCHK_HOST_ROOT");
    FilePtr aFile = aRoot != nullptr && *aRoot != '\0' ? kxg_openInput(kxg_getHostPath("/MANIFEST"))
                                                       : FilePtr();
    std::string aLine;
    while (aFile && kxg_readFileRow(aFile.get(), aLine) == 0) {
        size_t aColon = aLine.find(": ");
        if (aColon != std::string::npos) {
            std::string aValue = aLine.substr(aColon + 2);
            aManifest[aLine.substr(0, aColon)] = kxg_trimRight(aValue);
        }
    }
    return aManifest;
}

// The host checked: the snapshot's host, or this machine when no host root is set.
Json kxl_getHostName(const std::map<std::string, std::string>& iManifest)
{
    const char* aRoot = getenv("KXDEFCHK_HOST_ROOT");
    if (aRoot != nullptr && *aRoot != '\0') {
        auto aHost = iManifest.find("host");
        return aHost == iManifest.end() || aHost->second.empty() ? Json(nullptr) : Json(aHost->second);
    }
    char aName[256] = {};
    return gethostname(aName, sizeof aName - 1) == 0 ? Json(aName) : Json(nullptr);
}

Json kxl_getNow()
{
    char aText[32];
    time_t aNow = time(nullptr);
    struct tm aTime;
    strftime(aText, sizeof aText, "%Y-%m-%dT%H:%M:%SZ", gmtime_r(&aNow, &aTime));
    return aText;
}

Json kxl_makeDocument(const JsonReport& iJson, int iResult, const InstallInfo& iInfo,
                      const std::string& iOutLog, const SysPrmList& iList, void* iUtf8)
{
    int aStatus = (iResult == -9999 ? -1 : iResult) & 0xFF;
    bool aRan = aStatus != 255;
    std::map<std::string, std::string> aManifest = kxl_readManifest();
    Json aDoc;
    aDoc["format"] = kFormat;
    aDoc["tool"] = "kxsyfchk";
    aDoc["version"] = KX_VERSION;
    aDoc["host"] = kxl_getHostName(aManifest);
    aDoc["collected"] = aManifest.count("collected") != 0 && !aManifest["collected"].empty()
                            ? Json(aManifest["collected"])
                            : Json(nullptr);
    aDoc["checked"] = kxl_getNow();
    aDoc["os"] = iJson.OSName.empty() ? Json(nullptr) : Json(iJson.OSName);
    aDoc["release"] = iJson.OSName.empty() ? Json(nullptr) : Json("5." + iJson.OSName.substr(7));
    aDoc["product"] = aRan && iInfo.VOXLFlg == 1 ? kxl_makeProduct(iInfo, iUtf8) : Json(nullptr);
    aDoc["exit_status"] = aStatus;
    aDoc["failure"] = aRan ? Json(nullptr)
                           : Json{{"code", iResult},
                                  {"step", kxl_textOrNull(iUtf8, iJson.FailedStep)},
                                  {"cause", kxl_textOrNull(iUtf8, iJson.FailureCause)}};
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
    IconvPtr aUtf8 = kxl_openUtf8();
    std::string aText;
    try {
        Json aDoc = kxl_makeDocument(iJson, iResult, iInfo, iOutLog, iList, aUtf8.get());
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
