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
#include "SettingNumber.h"

namespace {

const char* const kSolFunc = "kxl_GetSystemParamSol";
// Solaris 11 reads the fragments of /etc/system.d.
const int kFirstFragmentRelease = 11;

// Whether the kernel takes iValue as the value of a "set" statement; it ignores a
// statement whose value it cannot read and keeps the earlier one of the name.
bool kxl_isKernelValue(const std::string& iValue)
{
    unsigned long long aNumber = 0;
    return kxl_readKernelValue(iValue, aNumber) != KernelValue::Refused;
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
void kxl_setSystemLine(const std::string& iLine, const std::string& iSource, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aName;
    Text aText;
    int aParse = kxl_parseSetLine(iLine, aName, aText);
    if (aParse == 14) {
        return;
    }
    kxg_outDetailTracelogEx(aFunc, "set行[%s]", iLine.c_str());
    if (aParse != 0) {
        kxg_outDetailTracelog(aFunc, " = がない。次の行へ");
        return;
    }
    if (kxl_findFirstOf(ioList, aName, SettingSource::System) == 0) {
        kxg_outDetailTracelog(aFunc, "該当パラメタなし");
        return;
    }
    kxg_outDetailTracelogEx(aFunc, "パラメタ発見[%s]", aName.c_str());
    std::string aValue = kxl_cutField(aText, kParamTextMax);
    kxg_outDetailTracelogEx(aFunc, "設定値：[%s]", aValue.c_str());
    if (!kxl_isKernelValue(aValue)) {
        if (!aValue.empty()) {
            kxg_outDetailTracelog(aFunc, "カーネルが値として読めないため無効(前の設定が有効)");
        }
        return;
    }
    kxl_forEachNamed(ioList, aName, SettingSource::System, [&](SysPrmRecord& ioRecord) {
        ioRecord.CurrentValue = aValue;
        ioRecord.CurrentFile = iSource;
    });
}

// Reads the "set" statements of one file (iPath as on the host) into the records.
int kxl_readSystemFile(const std::string& iPath, SysPrmList& ioList)
{
    const char* aFunc = "kxl_GetSystemParamSol";
    std::string aPath = kxg_getHostPath(iPath);
    FilePtr aFile = kxg_openInput(aPath);
    if (!aFile) {
        kxg_outWriteTracelogEx(aFunc, "ファイルオープン失敗：%s", aPath.c_str());
        return -9998;
    }
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        kxl_setSystemLine(iLine, iPath, ioList);
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

// The fragments of /etc/system.d in name order, without names beginning with "." and,
// traced when iTraced, those that are no regular file.
// 0 (none when the directory is absent); -9998 the directory cannot be read.
int kxl_getFragments(bool iTraced, std::vector<std::string>& oPaths)
{
    std::string aDir = kxg_getHostPath(kFragmentDir);
    std::unique_ptr<DIR, int (*)(DIR*)> aStream(opendir(aDir.c_str()), closedir);
    if (!aStream) {
        if (errno == ENOENT) {
            return 0;
        }
        kxg_outWriteTracelogEx(kSolFunc, "ファイルオープン失敗：%s", aDir.c_str());
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
        std::string aHostPath = kxg_getHostPath(aPath);
        // A fragment that leads out of the host root is unreadable, not passed over.
        if (kxg_chkFileExist(aHostPath) == 3 || kxg_isRefusedHostPath(aHostPath)) {
            oPaths.push_back(aPath);
        } else if (iTraced) {
            kxg_outDetailTracelogEx(kSolFunc, "通常ファイル以外は読み飛ばし[%s]", aPath.c_str());
        }
    }
    return 0;
}

// The files the kernel reads on the release iOSName, in its order: /etc/system last, so
// that its statements win. 0; -9998 the fragment directory cannot be read.
int kxl_getSystemFiles(const std::string& iOSName, bool iTraced, std::vector<std::string>& oPaths)
{
    if (kxl_getOSMinor(iOSName) >= kFirstFragmentRelease &&
        kxl_getFragments(iTraced, oPaths) != 0) {
        return -9998;
    }
    oPaths.push_back(kSystemFile);
    return 0;
}

// Notes in ioFound the last statement the kernel takes of each of its names in the file
// iPath (as on the host). 0 (also when the file does not exist); -9998 not read.
int kxl_readStatements(const std::string& iPath, SystemStatements& ioFound)
{
    std::string aPath = kxg_getHostPath(iPath);
    FilePtr aFile = kxg_openInput(aPath);
    if (!aFile) {
        return kxg_chkFileExist(aPath) == -9989 ? 0 : -9998;
    }
    int aResult = kxl_walkLines(aFile.get(), [&](const std::string& iLine) {
        std::string aName;
        Text aText;
        if (kxl_parseSetLine(iLine, aName, aText) != 0) {
            return;
        }
        auto aFound = ioFound.find(aName);
        std::string aValue(aText);
        if (aFound != ioFound.end() && kxl_isKernelValue(aValue)) {
            aFound->second = SystemStatement{aValue, iPath};
        }
    });
    return aResult == 0 ? 0 : -9998;
}

} // namespace

int kxl_GetSystemParamSol(const std::string& iOSName, SysPrmList& ioList)
{
    std::vector<std::string> aFiles;
    if (kxl_getSystemFiles(iOSName, true, aFiles) != 0) {
        return -9998;
    }
    for (const std::string& aFile : aFiles) {
        if (aFile != kSystemFile) {
            kxg_outDetailTracelogEx(kSolFunc, "フラグメントファイル[%s]", aFile.c_str());
        }
        int aResult = kxl_readSystemFile(aFile, ioList);
        if (aResult != 0) {
            return aResult;
        }
    }
    return 0;
}

int kxl_getSystemStatements(const std::string& iOSName, SystemStatements& ioFound)
{
    std::vector<std::string> aFiles;
    if (kxl_getSystemFiles(iOSName, false, aFiles) != 0) {
        return -9998;
    }
    for (const std::string& aFile : aFiles) {
        if (kxl_readStatements(aFile, ioFound) != 0) {
            kxg_outWriteTracelogEx(kSolFunc, "ファイル読み込みエラー[%s]", aFile.c_str());
            return -9998;
        }
    }
    return 0;
}
