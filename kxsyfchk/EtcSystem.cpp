// EtcSystem.cpp
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>

#include "EtcSystem.h"
#include "HostText.h"
#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComSysBase.h"

namespace {

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
        aRecord->CurrentFile = iSource;
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

} // namespace

int kxl_GetSystemParamSol(const std::string& iOSName, const RecordIndex& iIndex)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::vector<std::string> aFiles;
    if (iOSName == "Solaris11" && kxl_getFragments(aFiles) != 0) {
        return -9998;
    }
    for (const std::string& aFile : aFiles) {
        kxg_outWriteTracelogEx(aFunc, "フラグメントファイル[%s]", aFile.c_str());
        int aResult = kxl_readSystemFile(aFile, iIndex);
        if (aResult != 0) {
            return aResult;
        }
    }
    // /etc/system comes last, so that its statements win.
    return kxl_readSystemFile(kSystemFile, iIndex);
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
