// KxxComDefChkToolStartEnd.cpp
#include "KxxComDefChkToolStartEnd.h"

#include <cstdio>

#include "KxxComChkKxFileExist.h"
#include "KxxComGetSysInfo.h"
#include "KxxComMessage.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutText.h"
#include "KxxComOutTrace.h"
#include "KxxComTraceStart.h"
#include "KxxComchkComArg.h"

namespace {

const char* const kStartFunc = "kxg_strDefChkCom";

// Shows the catalog message that explains a refusal: -9999, or -1 when it cannot.
int kxl_refuse(const char* iMsgId)
{
    return kxg_outSysMessage(iMsgId) == 0 ? -9999 : -1;
}

// As kxl_refuse, followed by the help.
int kxl_refuseWithHelp(const char* iMsgId)
{
    if (kxg_outSysMessage(iMsgId) != 0) {
        return -1;
    }
    return kxg_dspCmdLineHelp() == 0 ? -9999 : -1;
}

int kxl_chkRequiredFiles()
{
    std::string aList;
    int aResult = kxg_chkKxFileExist(aList);
    if (aResult == 0) {
        kxg_outWriteTracelog(kStartFunc, "ファイル存在確認ＯＫ");
        return 0;
    }
    if (aResult == 7) {
        kxg_outWriteTracelog(kStartFunc, "[存在しないファイル]");
        kxg_outWriteTracelog(kStartFunc, aList.c_str());
        kxg_outPrintf("%s%s\n\n",
                      "\n必要なファイルまたはディレクトリが存在しません。\n"
                      "ツールを再インストールしてください。\n\n",
                      aList.c_str());
        return -9999;
    }
    kxg_outWriteTracelog(kStartFunc, "ファイル存在確認エラー");
    return -1;
}

int kxl_takeCommandLock()
{
    int aResult = kxg_rocCommand();
    if (aResult == -9976) {
        kxg_outWriteTracelog(kStartFunc, "コマンド二重起動");
        return kxl_refuse("99004");
    }
    if (aResult != 0) {
        kxg_outWriteTracelog(kStartFunc, "コマンドロックエラー");
        return -1;
    }
    kxg_outWriteTracelog(kStartFunc, "コマンドロックＯＫ");
    return 0;
}

int kxl_chkPrivilege()
{
    int aResult = kxg_chkAdmin();
    if (aResult == 0) {
        kxg_outWriteTracelog(kStartFunc, "権限ＯＫ");
        return 0;
    }
    if (aResult == 6) {
        kxg_outWriteTracelog(kStartFunc, "権限が足りない");
        return kxl_refuse("99005");
    }
    kxg_outWriteTracelog(kStartFunc, "権限チェックエラー");
    return -1;
}

int kxl_readInstallation(InstallInfo& ioInfo)
{
    int aResult = kxg_getInstallInfo(ioInfo);
    if (aResult == 0) {
        kxg_outWriteTracelog(kStartFunc, "インストール状態取得ＯＫ");
        return 0;
    }
    if (aResult == 15) {
        kxg_outWriteTracelog(kStartFunc, "VOXLがインストールされていない");
        return kxl_refuse("99009");
    }
    if (aResult == -9978) {
        kxg_outWriteTracelog(kStartFunc, "VOXLのバージョンが対象外");
        return kxl_refuse("99010");
    }
    kxg_outWriteTracelog(kStartFunc, "インストール状態取得エラー");
    return -1;
}

int kxl_chkCommandLine(int iArgc, char** iArgv, std::string& oOutLog)
{
    switch (kxg_chkCmdLineArgs(iArgc, iArgv, oOutLog)) {
    case 0:
        kxg_outWriteTracelog(kStartFunc, "引数チェックＯＫ");
        kxg_markOutLog(oOutLog);
        return 0;
    case 8:
        kxg_outWriteTracelog(kStartFunc, "コマンドヘルプ表示");
        return kxg_dspCmdLineHelp() == 0 ? 2 : -1;
    case 9:
        kxg_outWriteTracelog(kStartFunc, "引数指定に不正あり");
        return kxl_refuseWithHelp("99006");
    case 10:
        kxg_outWriteTracelog(kStartFunc, "無効なオプションあり");
        return kxl_refuseWithHelp("99007");
    case 11:
        kxg_outWriteTracelog(kStartFunc, "出力ログファイル生成失敗");
        return kxl_refuse("99008");
    default:
        kxg_outWriteTracelog(kStartFunc, "引数チェックエラー");
        return -1;
    }
}

} // namespace

int kxg_strDefChkCom(int iArgc, char** iArgv, std::string& oOutLog, InstallInfo& ioInfo)
{
    kxg_iniGlobalTrace();
    kxg_iniGlobalMessage();
    kxg_iniRCommand();

    if (kxg_chkVOXLLanguage() == 0) {
        printf("\nIt is not possible to execute it because of [%s] of off the subject.\n\n",
               "Language");
        return -9999;
    }
    const char* aStartName = iArgc > 0 && iArgv[0] != nullptr ? iArgv[0] : "";
    if (kxg_TraceMemAllc(aStartName) != 0) {
        printf("\nThe error occurred when the trace log processing was started.\n\n");
        return -1;
    }
    int aResult = kxl_chkRequiredFiles();
    if (aResult != 0) {
        return aResult;
    }
    if (kxg_startSysMessage() != 0) {
        kxg_outWriteTracelog(kStartFunc, "標準メッセージ開始エラー");
        return -1;
    }
    if ((aResult = kxl_takeCommandLock()) != 0 || (aResult = kxl_chkPrivilege()) != 0 ||
        (aResult = kxl_readInstallation(ioInfo)) != 0) {
        return aResult;
    }
    return kxl_chkCommandLine(iArgc, iArgv, oOutLog);
}

void kxg_endDefChkCom(int& ioResult)
{
    if (ioResult == -1) {
        // A report cut short by the failure must not pass for one.
        kxg_rstOutLog();
        kxg_outPrintf("%s", "\n障害によりチェックが中断しました。トレースログをご確認ください。\n\n");
    }
    if (ioResult == -9999) {
        ioResult = -1;
    }
    kxg_outWriteTracelogEx("kxg_endDefChkCom", "return[%d]", ioResult);
    kxg_unrCommand(ioResult);
    kxg_endSysMessage();
    kxg_TraceMemFree();
}
