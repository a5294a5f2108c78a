// KxxComMngDEFCHKINI.cpp
#include "KxxComMngDEFCHKINI.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "KxxComIniRead.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"

namespace {

// The path of the tool definition file. -9993 when the tool directory is not known.
int kxl_memINIFilePath(std::string& oPath)
{
    if (!gKXDefChkPath) {
        kxg_outWriteTracelog("kxl_memINIFilePath", "パスメモリ確保エラー");
        return -9993;
    }
    oPath = *gKXDefChkPath + "/sys/kxdefchk_SOL.ini";
    return 0;
}

// One value of the tool definition file. -9993 path not built; -9995 not readable.
int kxl_getIniPrm(const std::string& iSection, const std::string& iKey, std::string& oValue)
{
    const char* aFunc = "kxl_getIniPrm";
    std::string aPath;
    if (kxl_memINIFilePath(aPath) != 0) {
        kxg_outWriteTracelog(aFunc, "パス名作成エラー");
        return -9993;
    }
    if (kxg_readIniString(iSection, iKey, oValue, aPath) != 0) {
        kxg_outWriteTracelog(aFunc, "設定値取得エラー");
        return -9995;
    }
    return 0;
}

std::string kxl_ownSection()
{
    return gExecComName ? *gExecComName : std::string();
}

std::string kxl_numberedKey(const char* iFormat, int iNum)
{
    char aKey[64];
    snprintf(aKey, sizeof aKey, iFormat, iNum);
    return aKey;
}

// A count of the definition file, like scanf's "%d": an empty text leaves ioCount as it
// was; a number beyond int is held at INT_MAX.
void kxl_toCount(const std::string& iText, int& ioCount)
{
    if (iText.empty()) {
        return;
    }
    errno = 0;
    long aValue = strtol(iText.c_str(), nullptr, 10);
    ioCount = (errno == ERANGE || aValue > INT_MAX) ? INT_MAX : static_cast<int>(aValue);
}

// CmdNumber of CmdList. 0 read; -9995 not readable or not all digits (traced under iFunc).
int kxl_getCmdNumber(const char* iFunc, int& oCount)
{
    std::string aValue;
    if (kxl_getIniPrm("CmdList", "CmdNumber", aValue) != 0) {
        kxg_outWriteTracelog(iFunc, "サブコマンド数取得エラー");
        return -9995;
    }
    if (!kxg_chkStrisDigit(aValue)) {
        kxg_outWriteTracelogEx(iFunc, "サブコマンド数フォーマットエラー[%s]", aValue.c_str());
        return -9995;
    }
    kxl_toCount(aValue, oCount);
    return 0;
}

} // namespace

int kxg_getVOXLFlg(uint32_t& oFlag)
{
    std::string aValue;
    if (kxl_getIniPrm("RunMode", "VOXL", aValue) != 0) {
        kxg_outWriteTracelog("kxg_getVOXLFlg", "VOXLフラグ取得エラー");
        return -9995;
    }
    oFlag = aValue == "YES" ? 1 : 0;
    return 0;
}

int kxg_getFileNum(int& oCount)
{
    const char* aFunc = "kxg_getFileNum";
    std::string aValue;
    if (kxl_getIniPrm(kxl_ownSection(), "FileNumber", aValue) != 0) {
        kxg_outWriteTracelog(aFunc, "外部ファイル数取得エラー");
        return -9995;
    }
    if (!kxg_chkStrisDigit(aValue)) {
        kxg_outWriteTracelogEx(aFunc, "外部ファイル数フォーマットエラー[%s]", aValue.c_str());
        return -9995;
    }
    kxl_toCount(aValue, oCount);
    return 0;
}

int kxg_getUseFilePath(std::string& oPath, int iNum)
{
    // Traced under the caller's name: the path is only ever built to open the file.
    const char* aFunc = "kxg_opnUseFile";
    oPath.clear();
    std::string aIniPath;
    if (kxl_memINIFilePath(aIniPath) != 0) {
        kxg_outWriteTracelog(aFunc, "設定ファイルパス名作成エラー");
        return -9993;
    }
    std::string aSection, aDir, aName;
    if (kxl_getIniPrm(kxl_ownSection(), kxl_numberedKey("useFile%d", iNum), aSection) != 0) {
        kxg_outWriteTracelog(aFunc, "外部ファイルセクション名取得エラー");
        return -9995;
    }
    if (kxl_getIniPrm(aSection, "FilePath", aDir) != 0) {
        kxg_outWriteTracelog(aFunc, "外部ファイルパス取得エラー");
        return -9995;
    }
    if (kxl_getIniPrm(aSection, "FileName", aName) != 0) {
        kxg_outWriteTracelog(aFunc, "外部ファイル名取得エラー");
        return -9995;
    }
    oPath = *gKXDefChkPath + "/" + aDir + "/" + aName;
    kxg_outWriteTracelog(aFunc, "[外部ファイルパス]");
    kxg_outWriteTracelog(aFunc, oPath.c_str());
    return 0;
}

int kxg_opnUseFile(FilePtr& oFile, int iNum)
{
    const char* aFunc = "kxg_opnUseFile";
    oFile.reset();
    std::string aPath;
    if (kxg_getUseFilePath(aPath, iNum) != 0) {
        kxg_outWriteTracelog(aFunc, "フパス付き外部ファイル名取得エラー");
        return -9998;
    }
    oFile = kxg_openFile(aPath, "r");
    if (!oFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    return 0;
}

int kxg_getOptChkStringEx(std::string& oOpt, int iMode)
{
    const char* aFunc = "kxg_getOptChkStringEx";
    oOpt.clear();
    std::string aIniPath;
    if (kxl_memINIFilePath(aIniPath) != 0) {
        kxg_outWriteTracelog(aFunc, "パス名作成エラー");
        return -9993;
    }
    int aCount = 0;
    if (kxl_getCmdNumber(aFunc, aCount) != 0) {
        return -9995;
    }
    for (int aNum = 1; aNum <= aCount; aNum++) {
        std::string aCmd, aOpt, aDefault;
        if (kxl_getIniPrm("CmdList", kxl_numberedKey("subCMD%d", aNum), aCmd) != 0) {
            kxg_outWriteTracelog(aFunc, "サブコマンド名取得エラー");
            return -9995;
        }
        if (kxl_getIniPrm(aCmd, "Opt", aOpt) != 0) {
            kxg_outWriteTracelog(aFunc, "サブコマンドオプション取得エラー");
            return -9995;
        }
        if (iMode == 1) {
            if (kxl_getIniPrm(aCmd, "DefaultFlg", aDefault) != 0) {
                kxg_outWriteTracelog(aFunc, "サブコマンドデフォルトフラグ取得エラー");
                return -9995;
            }
            if (!aDefault.empty() && aDefault[0] == '0') {
                continue;
            }
        }
        oOpt += aOpt;
    }
    return 0;
}

int kxg_getOptChkString(std::string& oOpt)
{
    return kxg_getOptChkStringEx(oOpt, 0);
}

int kxg_getComComment(std::string& oComment)
{
    if (kxl_getIniPrm(kxl_ownSection(), "Comment", oComment) != 0) {
        kxg_outWriteTracelog("kxg_getComComment", "コマンドコメント取得エラー");
        return -1;
    }
    return 0;
}
