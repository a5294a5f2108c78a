// KxxComchkComArg.cpp
#include "KxxComchkComArg.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "KxxComFile.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"
#include "KxxComSysBase.h"

namespace {

// Arguments and paths live in 4096-byte buffers: at most 4095 bytes.
const size_t kArgumentMax = 4095;
const size_t kPathBuffer = 4096;

bool kxl_isTooLong(const char* iArg)
{
    return strlen(iArg) > kArgumentMax;
}

bool kxl_isOption(const char* iArg)
{
    return iArg[0] == '-';
}

// The generated name: tool directory / command name, date and time, ".log".
int kxl_makOutLogFileName(std::string& oOutLog)
{
    std::string aStamp;
    kxg_getDateAndHour(1, aStamp);
    std::string aName = *gExecComName + aStamp + ".log";
    if (gKXDefChkPath->size() + aName.size() + 2 >= kPathBuffer) {
        kxg_outWriteTracelog("kxl_makOutLogFileName", "出力ログファイル名文字数限界突破エラー");
        return -1;
    }
    oOutLog = *gKXDefChkPath + "/" + aName;
    return 0;
}

int kxl_useGeneratedName(const char* iFunc, std::string& oOutLog)
{
    if (kxl_makOutLogFileName(oOutLog) != 0) {
        kxg_outWriteTracelog(iFunc, "ファイル名自動生成エラー");
        return 11;
    }
    return 0;
}

// 0 when every letter of iLetters is an option letter of some sub command; -9995 when
// one is not; -1 when the option letters cannot be had.
int kxl_chkOptString(const char* iLetters)
{
    const char* aFunc = "kxl_chkOptString";
    std::string aDefined;
    if (kxg_getOptChkString(aDefined) != 0) {
        kxg_outWriteTracelog(aFunc, "チェック用文字列作成エラー");
        return -1;
    }
    for (const char* aLetter = iLetters; *aLetter != '\0'; aLetter++) {
        if (aDefined.find(*aLetter) == std::string::npos) {
            kxg_outWriteTracelog(aFunc, "チェックエラー");
            return -9995;
        }
    }
    return 0;
}

int kxl_chkMainOneArg(const char* iArg, std::string& oOutLog)
{
    const char* aFunc = "kxl_chkCmdLineArgs_main";
    if (kxl_isTooLong(iArg)) {
        kxg_outWriteTracelog(aFunc, "引数サイズオーバー");
        return 9;
    }
    if (strcmp(iArg, "-h") == 0) {
        kxg_outWriteTracelog(aFunc, "-hのみ");
        return 8;
    }
    if (strcmp(iArg, "-a") == 0) {
        kxg_outWriteTracelog(aFunc, "-aのみ");
        return kxl_useGeneratedName(aFunc, oOutLog);
    }
    if (!kxl_isOption(iArg)) {
        kxg_outWriteTracelog(aFunc, "ファイル名のみ指定");
        oOutLog = iArg;
        return 0;
    }
    kxg_outWriteTracelog(aFunc, "コマンドオプションのみ");
    if (iArg[1] == '\0') {
        kxg_outWriteTracelog(aFunc, "オプション文字無しエラー");
        return 9;
    }
    if (kxl_chkOptString(iArg + 1) != 0) {
        kxg_outWriteTracelog(aFunc, "無効なオプションが指定されました");
        return 10;
    }
    return kxl_useGeneratedName(aFunc, oOutLog);
}

int kxl_chkMainTwoArgs(const char* iArg1, const char* iArg2, std::string& oOutLog)
{
    const char* aFunc = "kxl_chkCmdLineArgs_main";
    if (kxl_isTooLong(iArg1) || kxl_isTooLong(iArg2)) {
        kxg_outWriteTracelog(aFunc, "引数サイズオーバー");
        return 9;
    }
    if (kxl_isOption(iArg1) && kxl_isOption(iArg2)) {
        kxg_outWriteTracelog(aFunc, "２つとも'-'で始まる場合、エラー");
        return 9;
    }
    if (!kxl_isOption(iArg1) && !kxl_isOption(iArg2)) {
        kxg_outWriteTracelog(aFunc, "２つとも'-'で始まらない場合、エラー");
        return 9;
    }
    bool aOptionFirst = kxl_isOption(iArg1);
    const char* aOption = aOptionFirst ? iArg1 : iArg2;
    const char* aFile = aOptionFirst ? iArg2 : iArg1;
    if (strcmp(aOption, "-h") == 0) {
        kxg_outWriteTracelog(aFunc, "-h指定の場合、エラー");
        return 9;
    }
    if (strcmp(aOption, "-a") == 0) {
        kxg_outWriteTracelog(aFunc, "-a＆ファイル名");
        oOutLog = aFile;
        return 0;
    }
    kxg_outWriteTracelog(aFunc, "コマンドオプション＆ファイル名");
    if (aOption[1] == '\0') {
        kxg_outWriteTracelog(aFunc, "オプション文字無しエラー");
        return 9;
    }
    if (kxl_chkOptString(aOption + 1) != 0) {
        kxg_outWriteTracelog(aFunc, aOptionFirst ? "オプションチェックエラー&iArgv[1][1]"
                                                 : "オプションチェックエラー&iArgv[2][1]");
        return 10;
    }
    oOutLog = aFile;
    return 0;
}

// The main tool's grammar: option letters and a file name, in either order.
int kxl_chkCmdLineArgs_main(int iArgc, char** iArgv, std::string& oOutLog)
{
    const char* aFunc = "kxl_chkCmdLineArgs_main";
    oOutLog.clear();
    switch (iArgc) {
    case 0:
        kxg_outWriteTracelog(aFunc, "ありえない引数。iArgc=0");
        return -1;
    case 1:
        kxg_outWriteTracelog(aFunc, "引数なし。デフォルト指定チェック実行");
        return kxl_useGeneratedName(aFunc, oOutLog);
    case 2:
        return kxl_chkMainOneArg(iArgv[1], oOutLog);
    case 3:
        return kxl_chkMainTwoArgs(iArgv[1], iArgv[2], oOutLog);
    default:
        kxg_outWriteTracelog(aFunc, "引数が３つ以上エラー");
        return 9;
    }
}

// A sub command's grammar: nothing, -h, or an output log file name.
int kxl_chkCmdLineArgs_sub(int iArgc, char** iArgv, std::string& oOutLog)
{
    const char* aFunc = "kxl_chkSubCmdLineArgs_sub";
    oOutLog.clear();
    if (iArgc == 0) {
        kxg_outWriteTracelog(aFunc, "ありえない引数。iArgc=0");
        return -1;
    }
    if (iArgc == 1) {
        kxg_outWriteTracelog(aFunc, "引数なし。自動生成ファイル名で実行。");
        return kxl_useGeneratedName(aFunc, oOutLog);
    }
    if (iArgc > 2) {
        kxg_outWriteTracelog(aFunc, "引数が２つ以上エラー");
        return 9;
    }
    const char* aArg = iArgv[1];
    if (kxl_isTooLong(aArg)) {
        kxg_outWriteTracelog(aFunc, "引数サイズオーバー");
        return 9;
    }
    if (strcmp(aArg, "-h") == 0) {
        kxg_outWriteTracelog(aFunc, "-hのみ");
        return 8;
    }
    if (kxl_isOption(aArg)) {
        kxg_outWriteTracelog(aFunc, "サブコマンドにコマンドオプションはエラー");
        return 9;
    }
    kxg_outWriteTracelog(aFunc, "サブコマンドでファイル名のみ指定");
    oOutLog = aArg;
    return 0;
}

// Whether anything, a dangling symbolic link included, is at the path.
bool kxl_pathTaken(const std::string& iPath)
{
    struct stat aStat;
    return lstat(iPath.c_str(), &aStat) == 0;
}

// Makes sure the output log can be appended to; a file the probe had to create is
// removed again, an existing one is left as it was.
int kxl_probeOutLog(const std::string& iOutLog)
{
    const char* aFunc = "kxg_chkCmdLineArgs";
    // The report and the trace are written by the superuser: a symbolic link put at
    // either path would have them appended to (or created at) its target.
    if (gKXDefChkPath && kxg_isSymLink(kxg_getTracePath())) {
        kxg_outWriteTracelog(aFunc, "[トレースログファイルアクセスエラー]");
        kxg_outWriteTracelog(aFunc, kxg_getTracePath().c_str());
        return 11;
    }
    bool aExisted = kxl_pathTaken(iOutLog);
    // Opened without waiting and never through a link: a FIFO nobody reads would hold
    // the run forever.
    if (!kxg_openAppend(iOutLog)) {
        kxg_outWriteTracelog(aFunc, "[出力ログファイルアクセスエラー]");
        kxg_outWriteTracelog(aFunc, iOutLog.c_str());
        return 11;
    }
    if (!aExisted) {
        remove(iOutLog.c_str());
    }
    return 0;
}

} // namespace

int kxg_chkCmdLineArgs(int iArgc, char** iArgv, std::string& oOutLog)
{
    bool aMainTool = gExecComName && *gExecComName == gMainToolName;
    int aResult = aMainTool ? kxl_chkCmdLineArgs_main(iArgc, iArgv, oOutLog)
                            : kxl_chkCmdLineArgs_sub(iArgc, iArgv, oOutLog);
    if (aResult != 0) {
        return aResult;
    }
    return kxl_probeOutLog(oOutLog);
}
