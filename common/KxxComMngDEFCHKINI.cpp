// KxxComMngDEFCHKINI.cpp
#include "KxxComMngDEFCHKINI.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "KxxComIniRead.h"
#include "KxxComOutText.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

// A missing-entry list is shown to the user from a 4096-byte buffer: at most 4095 bytes.
const size_t kMissingListMax = 4095;
// The tool definition file, in the tool directory.
const char* const kIniFile = "/sys/kxdefchk_SOL.ini";

// The path of the tool definition file. -9993 when the tool directory is not known.
int kxl_memINIFilePath(std::string& oPath)
{
    if (!gKXDefChkPath) {
        kxg_outWriteTracelog("kxl_memINIFilePath", "パスメモリ確保エラー");
        return -9993;
    }
    oPath = *gKXDefChkPath + kIniFile;
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

// The name of the iNum-th sub command of CmdList. 0; -9995 not readable.
int kxl_getSubCmdName(const char* iFunc, int iNum, std::string& oName)
{
    if (kxl_getIniPrm("CmdList", kxl_numberedKey("subCMD%d", iNum), oName) != 0) {
        kxg_outWriteTracelog(iFunc, "サブコマンド名取得エラー");
        return -9995;
    }
    return 0;
}

// FileNumber of the own section. 0 read; -9995 not readable or not all digits.
int kxl_getFileNumber(const char* iFunc, int& ioCount)
{
    std::string aValue;
    if (kxl_getIniPrm(kxl_ownSection(), "FileNumber", aValue) != 0) {
        kxg_outWriteTracelog(iFunc, "外部ファイル数取得エラー");
        return -9995;
    }
    if (!kxg_chkStrisDigit(aValue)) {
        kxg_outWriteTracelogEx(iFunc, "外部ファイル数フォーマットエラー[%s]", aValue.c_str());
        return -9995;
    }
    kxl_toCount(aValue, ioCount);
    return 0;
}

// FilePath and FileName of the iNum-th parameter list file. 0; -9995 not readable.
int kxl_getUseFileEntry(const char* iFunc, int iNum, std::string& oDir, std::string& oName)
{
    std::string aSection;
    if (kxl_getIniPrm(kxl_ownSection(), kxl_numberedKey("useFile%d", iNum), aSection) != 0) {
        kxg_outWriteTracelog(iFunc, "外部ファイルセクション名取得エラー");
        return -9995;
    }
    if (kxl_getIniPrm(aSection, "FilePath", oDir) != 0) {
        kxg_outWriteTracelog(iFunc, "外部ファイルパス取得エラー");
        return -9995;
    }
    if (kxl_getIniPrm(aSection, "FileName", oName) != 0) {
        kxg_outWriteTracelog(iFunc, "外部ファイル名取得エラー");
        return -9995;
    }
    return 0;
}

// Calls iVisit with the name of each sub command of CmdList, in order, and stops at the
// first nonzero answer. 0; -9995 the count or a name not readable; else that answer.
template <typename Visit>
int kxl_walkSubCmds(const char* iFunc, Visit iVisit)
{
    int aCount = 0;
    if (kxl_getCmdNumber(iFunc, aCount) != 0) {
        return -9995;
    }
    for (int aNum = 1; aNum <= aCount; aNum++) {
        std::string aCmd;
        if (kxl_getSubCmdName(iFunc, aNum, aCmd) != 0) {
            return -9995;
        }
        int aResult = iVisit(aCmd);
        if (aResult != 0) {
            return aResult;
        }
    }
    return 0;
}

// One value of a sub command's section. 0; -9995 not readable (traced with iError).
int kxl_getSubCmdValue(const char* iFunc, const std::string& iCmd, const char* iKey,
                       const char* iError, std::string& oValue)
{
    if (kxl_getIniPrm(iCmd, iKey, oValue) != 0) {
        kxg_outWriteTracelog(iFunc, iError);
        return -9995;
    }
    return 0;
}

// Whether the sub command is left out when the main tool is given no option.
// 0 answered; -9995 DefaultFlg not readable.
int kxl_chkNotDefault(const char* iFunc, const std::string& iCmd, bool& oSkip)
{
    std::string aDefault;
    if (kxl_getSubCmdValue(iFunc, iCmd, "DefaultFlg", "サブコマンドデフォルトフラグ取得エラー",
                           aDefault) != 0) {
        return -9995;
    }
    oSkip = !aDefault.empty() && aDefault[0] == '0';
    return 0;
}

// The sub commands' entries of the help: option letter and comment (iMode 0), or the
// comments of those run by default (iMode 1). 0; -9993; -9995.
int kxl_dspOptHelpStringEx(int iMode)
{
    const char* aFunc = "kxl_dspOptHelpStringEx";
    std::string aIniPath;
    if (kxl_memINIFilePath(aIniPath) != 0) {
        kxg_outWriteTracelog(aFunc, "パス名作成エラー");
        return -9993;
    }
    return kxl_walkSubCmds(aFunc, [aFunc, iMode](const std::string& iCmd) {
        std::string aOpt, aComment;
        bool aSkip = false;
        if (iMode == 0) {
            if (kxl_getSubCmdValue(aFunc, iCmd, "Opt", "サブコマンドオプション取得エラー",
                                   aOpt) != 0) {
                return -9995;
            }
            kxg_outPrintf("\t");
            kxg_outPrintf("%s\t", aOpt.c_str());
        } else {
            if (kxl_chkNotDefault(aFunc, iCmd, aSkip) != 0) {
                return -9995;
            }
            if (aSkip) {
                kxg_outWriteTracelog(aFunc, "デフォルト実施しないコマンドスキップ");
                return 0;
            }
            kxg_outPrintf("\t");
        }
        if (kxl_getSubCmdValue(aFunc, iCmd, "Comment", "サブコマンドコメント取得エラー",
                               aComment) != 0) {
            return -9995;
        }
        kxg_outPrintf("%s\n", aComment.c_str());
        return 0;
    });
}

int kxl_dspOptHelpString()
{
    return kxl_dspOptHelpStringEx(0);
}

const char* const kOutLogHelpLine =
    "出力ログファイル名\tチェック結果を出力するログファイル名を指定します。\n";

int kxl_dspMainToolHelp()
{
    const char* aFunc = "kxg_dspCmdLineHelp";
    std::string aOpt;
    if (kxg_getOptChkString(aOpt) != 0) {
        kxg_outWriteTracelog(aFunc, "チェック用文字列作成エラー");
        return -1;
    }
    kxg_outPrintf("\n");
    kxg_outPrintf("本コマンドは、さまざまな定義に対するチェックを行い、チェック結果を表示します。\n");
    kxg_outPrintf("\n");
    kxg_outPrintf("%s [%s] | [%s [出力ログファイル名]] | [-%s [出力ログファイル名]] | "
                  "[出力ログファイル名]\n",
                  gMainToolName, "-h", "-a", aOpt.c_str());
    kxg_outPrintf("\n");
    kxg_outPrintf("%s\t当ツールの使用方法が表示されます。\n", "-h");
    kxg_outPrintf("\n");
    kxg_outPrintf("%s\t当ツールでチェック可能な全ての定義のチェックを実施します。\n", "-a");
    kxg_outPrintf("\n");
    kxg_outPrintf("-%s\tチェックを行う定義を指定します。\n", aOpt.c_str());
    kxg_outPrintf("\n");
    if (kxl_dspOptHelpString() != 0) {
        kxg_outWriteTracelog(aFunc, "オプション一覧標準出力エラー");
        return -1;
    }
    kxg_outPrintf("\n");
    kxg_outPrintf("%s", kOutLogHelpLine);
    kxg_outPrintf("\n");
    kxg_outPrintf("＊定義を指定しなかった場合、以下の定義のチェックを実施します。\n");
    kxg_outPrintf("\n");
    if (kxl_dspOptHelpStringEx(1) != 0) {
        kxg_outWriteTracelog(aFunc, "オプション一覧標準出力エラー");
        return -1;
    }
    kxg_outPrintf("\n");
    return 0;
}

int kxl_dspSubCommandHelp()
{
    std::string aComment;
    if (kxg_getComComment(aComment) != 0) {
        kxg_outWriteTracelog("kxg_dspCmdLineHelp", "コマンドコメント取得エラー");
        return -1;
    }
    kxg_outPrintf("\n");
    kxg_outPrintf("本コマンドは、%sを行い、チェック結果を表示します。\n", aComment.c_str());
    kxg_outPrintf("\n");
    kxg_outPrintf("%s [%s] | [出力ログファイル名] \n", kxl_ownSection().c_str(), "-h");
    kxg_outPrintf("\n");
    kxg_outPrintf("%s\t\t\t当ツールの使用方法が表示されます。\n", "-h");
    kxg_outPrintf("%s", kOutLogHelpLine);
    kxg_outPrintf("\n");
    return 0;
}

bool kxl_isMainTool()
{
    return gExecComName && *gExecComName == gMainToolName;
}

// The executables of the main tool's sub commands in bin.
int kxl_chkSubCmdFiles(std::string& ioList)
{
    return kxl_walkSubCmds("kxg_chkINIFileExist", [&ioList](const std::string& iCmd) {
        if (kxg_chkSysFileExist("bin", iCmd) != 3) {
            kxg_addMissingName(ioList, iCmd);
        }
        return 0;
    });
}

// The parameter list files of the executing sub command.
int kxl_chkUseFiles(std::string& ioList)
{
    const char* aFunc = "kxg_chkINIFileExist";
    int aCount = 0;
    if (kxl_getFileNumber(aFunc, aCount) != 0) {
        return -9995;
    }
    for (int aNum = 1; aNum <= aCount; aNum++) {
        std::string aDir, aName;
        if (kxl_getUseFileEntry(aFunc, aNum, aDir, aName) != 0) {
            return -9995;
        }
        if (kxg_chkSysFileExist(aDir, aName) != 3) {
            kxg_addMissingName(ioList, aName);
        }
    }
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
    return kxl_getFileNumber("kxg_getFileNum", oCount);
}

namespace {

// The path of a parameter list file from its entry's FilePath and FileName.
std::string kxl_joinUseFilePath(const std::string& iDir, const std::string& iName)
{
    return *gKXDefChkPath + "/" + iDir + "/" + iName;
}

// The lines of an open file, a last line without a newline counted.
size_t kxl_cntLines(FILE* iFile)
{
    char aBlock[65536];
    size_t aRead;
    size_t aLines = 1;
    while ((aRead = fread(aBlock, 1, sizeof aBlock, iFile)) > 0) {
        aLines += std::count(aBlock, aBlock + aRead, '\n');
    }
    return aLines;
}

} // namespace

size_t kxg_cntUseFileLines(int iFileCount)
{
    if (!gKXDefChkPath) {
        return 0;
    }
    std::string aIniPath = *gKXDefChkPath + kIniFile;
    size_t aLines = 0;
    for (int aNum = 1; aNum <= iFileCount; aNum++) {
        std::string aSection, aDir, aName;
        FilePtr aFile;
        if (kxg_readIniString(kxl_ownSection(), kxl_numberedKey("useFile%d", aNum), aSection, aIniPath) != 0 ||
            kxg_readIniString(aSection, "FilePath", aDir, aIniPath) != 0 ||
            kxg_readIniString(aSection, "FileName", aName, aIniPath) != 0 ||
            !(aFile = kxg_openInput(kxl_joinUseFilePath(aDir, aName)))) {
            break;
        }
        aLines += kxl_cntLines(aFile.get());
    }
    return aLines;
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
    std::string aDir, aName;
    if (kxl_getUseFileEntry(aFunc, iNum, aDir, aName) != 0) {
        return -9995;
    }
    oPath = kxl_joinUseFilePath(aDir, aName);
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
    oFile = kxg_openInput(aPath);
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
    return kxl_walkSubCmds(aFunc, [aFunc, iMode, &oOpt](const std::string& iCmd) {
        std::string aOpt;
        bool aSkip = false;
        if (kxl_getSubCmdValue(aFunc, iCmd, "Opt", "サブコマンドオプション取得エラー", aOpt) != 0) {
            return -9995;
        }
        if (iMode == 1 && kxl_chkNotDefault(aFunc, iCmd, aSkip) != 0) {
            return -9995;
        }
        if (!aSkip) {
            oOpt += aOpt;
        }
        return 0;
    });
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

int kxg_dspCmdLineHelp()
{
    return kxl_isMainTool() ? kxl_dspMainToolHelp() : kxl_dspSubCommandHelp();
}

int kxg_chkINIFileExist(std::string& oList)
{
    const char* aFunc = "kxg_chkINIFileExist";
    oList.clear();
    std::string aIniPath;
    if (kxl_memINIFilePath(aIniPath) != 0) {
        kxg_outWriteTracelog(aFunc, "パス名作成エラー");
        return -9993;
    }
    int aResult = kxl_isMainTool() ? kxl_chkSubCmdFiles(oList) : kxl_chkUseFiles(oList);
    if (aResult != 0) {
        return aResult;
    }
    if (!oList.empty()) {
        kxg_endMissingList(oList);
        kxg_outWriteTracelog(aFunc, "外部ファイルなし");
        return 7;
    }
    return 0;
}

int kxg_chkSysFileExist(const std::string& iDir, const std::string& iFile)
{
    std::string aPath = *gKXDefChkPath + "/" + iDir;
    if (!iFile.empty()) {
        aPath += "/" + iFile;
    }
    kxg_outWriteTracelogEx("kxg_chkSysFileExist", "チェックパス[%s]", aPath.c_str());
    return kxg_chkFileExist(aPath);
}

void kxg_addMissingName(std::string& ioList, const std::string& iName)
{
    if (ioList.size() + iName.size() + 2 <= kMissingListMax) {
        ioList += iName + ",";
    }
}

void kxg_endMissingList(std::string& ioList)
{
    if (!ioList.empty() && ioList.back() == ',') {
        ioList.pop_back();
    }
}
