// KxxComTraceStart.cpp
#include "KxxComTraceStart.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "KxxComCodeConv.h"
#include "KxxComInstallInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

const char* const kSourceCode = "EUC-JP";
const iconv_t kNoDescriptor = nullptr;
// Environment values and code set names are held in 4096-byte buffers: longer ones are cut.
const size_t kCodeNameMax = 4095;
// A trace file above this size is moved into the history at trace start.
const off_t kTraceSizeLimit = 1048576;

// The value of the first locale variable that is set, or "env Nothing".
std::string kxl_getLocaleValue()
{
    const char* aFunc = "kxg_opnIcov";
    static const char* const sNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string aValue = "env Nothing";
    for (const char* aName : sNames) {
        kxg_outWriteTracelogEx(aFunc, "[%s]", aName);
        const char* aEnv = getenv(aName);
        if (aEnv != nullptr) {
            aValue = std::string(aEnv).substr(0, kCodeNameMax);
            break;
        }
    }
    kxg_outWriteTracelogEx(aFunc, "%s", aValue.c_str());
    return aValue;
}

std::string kxl_getLocaleCode(const std::string& iLocale)
{
    const char* aFunc = "kxg_opnIcov";
    if (iLocale.find("ja_JP.PCK") != std::string::npos) {
        kxg_outWriteTracelog(aFunc, "set SJIS");
        return "SJIS";
    }
    if (iLocale.find("ja_JP.UTF-8") != std::string::npos) {
        kxg_outWriteTracelog(aFunc, "set UTF-8");
        return "UTF-8";
    }
    kxg_outWriteTracelog(aFunc, "set EUC");
    return "EUC";
}

bool kxl_needsConversion(const std::string& iCode)
{
    return iCode != "EUC" && iCode != "ASCII";
}

// A descriptor from EUC-JP to iCode; kNoDescriptor when the platform does not know it,
// so that such a target is written unconverted rather than as empty texts. An empty name
// (a product that declares "Code=") is refused too: some platforms take it for the
// locale's code set, which cuts every Japanese text at its first character.
iconv_t kxl_openDescriptor(const std::string& iCode)
{
    iconv_t aDesc = iCode.empty() ? reinterpret_cast<iconv_t>(-1)
                                  : iconv_open(iCode.c_str(), kSourceCode);
    if (aDesc == reinterpret_cast<iconv_t>(-1)) {
        kxg_outWriteTracelogEx("kxg_opnIcov", "コード変換オープンエラー[%s]", iCode.c_str());
        return kNoDescriptor;
    }
    return aDesc;
}

// The history step of trace start: an oversize trace file goes into the history.
int kxl_chkFileSize()
{
    kxg_flushTrace();
    struct stat aTraceStat;
    if (stat(kxg_getTracePath().c_str(), &aTraceStat) != 0 ||
        aTraceStat.st_size <= kTraceSizeLimit) {
        return 0;
    }
    return kxg_rotateTrace();
}

// The directory that holds the command started without a directory part: "." when it is
// in the current directory, else the first PATH entry holding it. -1 when there is none.
int kxl_findCommandDir(const std::string& iName, std::string& oDir)
{
    if (kxg_chkFileExist("./" + iName) == 3) {
        oDir = ".";
        return 0;
    }
    const char* aPath = getenv("PATH");
    if (aPath == nullptr) {
        printf("ERROR getenv[%s]\n", "PATH");
        return -1;
    }
    std::string aSearch = aPath;
    std::string aEntry;
    uint32_t aPos = 0;
    while (aPos < aSearch.size()) {
        kxg_cutWord(aSearch, ':', aPos, aEntry);
        if (kxg_chkFileExist(aEntry + "/" + iName) == 3) {
            oDir = aEntry;
            return 0;
        }
    }
    return -1;
}

// The tool directory is the parent of the directory that holds the command.
std::string kxl_toolDirOf(const std::string& iCommandDir)
{
    // A PATH entry "/opt/tool/bin/" or a start name "bin//kxsyfchk" ends in "/"; the
    // command still lies in bin, not in a directory of that name under bin.
    std::string aDir = iCommandDir;
    while (aDir.size() > 1 && aDir.back() == '/') {
        aDir.pop_back();
    }
    if (aDir == ".") {
        return "..";
    }
    std::string aParent, aName;
    kxg_getSplitPath(aDir, aParent, aName);
    return aParent.empty() ? "." : aParent;
}

// The trace line of a host path that kxg_getHostPath refused.
void kxl_traceRefusedLink(const std::string& iLink, const std::string& iTarget)
{
    kxg_outWriteTracelogEx("kxg_getHostPath",
                           "ホストルート内で解決できないシンボリックリンクは読まない[%s]->[%s]",
                           iLink.c_str(), iTarget.c_str());
}

void kxl_writeStartBanner(const std::string& iName)
{
    const char* aFunc = "kxg_TraceMemAllc";
    if (iName == gMainToolName) {
        kxg_outWriteTracelog(aFunc, "▼▼▼定義チェックツール開始▼▼▼");
    } else {
        kxg_outWriteTracelogEx(aFunc, "▼[%s]コマンド開始▼", iName.c_str());
    }
    kxg_outWriteTracelogEx(aFunc, "PATH=[%s]", gKXDefChkPath->c_str());
    kxg_outWriteTracelogEx(aFunc, "FILE=[%s]", iName.c_str());
}

} // namespace

void kxg_getSplitPath(const std::string& iPath, std::string& oDir, std::string& oName)
{
    size_t aSlash = iPath.rfind('/');
    if (aSlash == std::string::npos) {
        oDir.clear();
        oName = iPath;
        return;
    }
    oDir = iPath.substr(0, aSlash);
    oName = iPath.substr(aSlash + 1);
}

int kxg_TraceMemAllc(const char* iStartName)
{
    const char* aFunc = "kxg_TraceMemAllc";
    // A process may be started with an empty argument vector: no name, no tool directory.
    if (iStartName == nullptr) {
        kxg_iniGlobalTrace();
        return -1;
    }
    std::string aDir, aName;
    kxg_getSplitPath(iStartName, aDir, aName);
    gExecComName = aName;
    if (aDir.empty() && kxl_findCommandDir(aName, aDir) != 0) {
        kxg_iniGlobalTrace();
        return -1;
    }
    gKXDefChkPath = kxl_toolDirOf(aDir);
    kxg_setHostPathRefusal(kxl_traceRefusedLink);
    kxg_catchEndingSignals();

    kxg_opnIcov();
    if (kxl_chkFileSize() != 0) {
        kxg_outWriteTracelog(aFunc, "トレースログ履歴管理失敗（処理は継続）");
        return 0;
    }
    kxl_writeStartBanner(aName);
    return 0;
}

void kxg_TraceMemFree()
{
    const char* aFunc = "kxg_TraceMemFree";
    if (gExecComName) {
        if (*gExecComName == gMainToolName) {
            kxg_outWriteTracelog(aFunc, "▲▲▲定義チェックツール終了▲▲▲");
        } else {
            kxg_outWriteTracelogEx(aFunc, "▲[%s]コマンド終了▲", gExecComName->c_str());
        }
    }
    kxg_cloIcov();
    kxg_setHostPathRefusal(nullptr);
    kxg_iniGlobalTrace();
}

void kxg_opnIcov()
{
    const char* aFunc = "kxg_opnIcov";
    gIC = kNoDescriptor;
    gICLC = kNoDescriptor;

    std::string aLocaleCode = kxl_getLocaleCode(kxl_getLocaleValue());
    std::string aFileCode = aLocaleCode;
    std::string aProductCode;
    if (kxg_getVOXLCode(aProductCode) == 0) {
        kxg_outWriteTracelogEx(aFunc, "CODE[%s]", aProductCode.c_str());
        aFileCode = aProductCode.substr(0, kCodeNameMax);
    }
    kxg_outWriteTracelogEx(aFunc, "CODELC[%s]", aLocaleCode.c_str());

    iconv_t aFileDesc = kNoDescriptor;
    if (kxl_needsConversion(aFileCode)) {
        aFileDesc = kxl_openDescriptor(aFileCode);
    } else {
        kxg_outWriteTracelog(aFunc, "EUC ASCII no chg");
    }
    if (kxl_needsConversion(aLocaleCode)) {
        gICLC = kxl_openDescriptor(aLocaleCode);
    } else {
        kxg_outWriteTracelog(aFunc, "EUC ASCII no chg LC");
    }
    gICLCAscii = kxg_chkAsciiKept(gICLC);
    gICAscii = kxg_chkAsciiKept(aFileDesc);
    // Set last, so that every trace line of the opening is written in EUC-JP.
    gIC = aFileDesc;
}

void kxg_cloIcov()
{
    if (gIC != kNoDescriptor) {
        iconv_close(gIC);
        gIC = kNoDescriptor;
    }
    if (gICLC != kNoDescriptor) {
        iconv_close(gICLC);
        gICLC = kNoDescriptor;
    }
}
