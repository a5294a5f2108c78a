// CalcValue.cpp
// The message-queue values come from sysdef, the shared-memory one from prtconf, the
// service's settings from its own configuration file.
#include "CalcValue.h"
#include "EtcSystem.h"
#include "KernelValue.h"
#include "LimitInForce.h"
#include "KxxComInstallInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComTolvInfo.h"
#include "SettingNumber.h"

namespace {

const char* const kNeedFunc = "kxl_getCalcNeedVal";
const char* const kDistPackage = "ZVNQkxsdl";

// One setting of the resource-distribution service, its default and accepted range.
struct TolvSetting {
    const char* Key;
    unsigned long long Default;
    unsigned long long Min;
    unsigned long long Max;
    const char* NotFoundMsg;
    const char* NotNumberMsg;
    const char* RangeMsg;
    const char* ReadErrorMsg;
};

const TolvSetting kServmax = {
    "servmax",
    20,
    1,
    200,
    "servmaxオプションが見つからない (servmax=デフォルト値)",
    "数値以外の文字列 (servmax=デフォルト値)",
    "MIN_SERVMAX > aServmax > MAX_SERVMAX (servmax=デフォルト値)",
    "servmaxオプション値取得エラー",
};

const TolvSetting kCntmax = {
    "cntmax",
    100,
    5,
    10000,
    "cntmaxオプションが見つからない (cntmax=デフォルト値)",
    "数値以外の文字列 (cntmax=デフォルト値)",
    "MIN_CNTMAX > aCntmax > MAX_CNTMAX (cntmax=デフォルト値)",
    "cntmaxオプション取得値取得エラー",
};

// A tunable of the message queue module that a calculation reads from sysdef.
struct MsgTunable {
    const char* Word;    // searched for in the sysdef output
    const char* Label;   // label of its sysdef line
    const char* SetName; // its name in /etc/system
    unsigned long long Default;
};

const MsgTunable kMsgmnb = {"MSGMNB", "max bytes on queue (MSGMNB)", "msgsys:msginfo_msgmnb",
                            4096};
const MsgTunable kMsgtql = {"MSGTQL", "system message headers (MSGTQL)", "msgsys:msginfo_msgtql",
                            40};

// The setting's value, or its default when it is absent, not a number or out of range.
int kxl_getTolvSetting(const TolvSetting& iSetting, unsigned long long& oValue)
{
    std::string aText;
    int aResult = kxg_chkTolvFileValue(iSetting.Key, aText);
    oValue = iSetting.Default;
    if (aResult == -9983 || aResult == -9998) {
        kxg_outWriteTracelog(kNeedFunc, iSetting.NotFoundMsg);
        return 0;
    }
    if (aResult != 0) {
        kxg_outWriteTracelog(kNeedFunc, iSetting.ReadErrorMsg);
        return -1;
    }
    unsigned long long aValue = 0;
    // An empty value is a number out of range, not a text.
    if (!aText.empty() && kxl_cnvSettingNumber(aText, NumberBase::Decimal, aValue) == kNoNumber) {
        kxg_outWriteTracelog(kNeedFunc, iSetting.NotNumberMsg);
        return 0;
    }
    if (aValue < iSetting.Min || aValue > iSetting.Max) {
        kxg_outWriteTracelog(kNeedFunc, iSetting.RangeMsg);
        return 0;
    }
    oValue = aValue;
    return 0;
}

// The product's versions as stored: 13 is 0xD, level 39 is 0x27.
unsigned long long kxl_getMsgDivisor(const InstallInfo& iInfo)
{
    if (iInfo.MajorVersion <= 12 || (iInfo.MajorVersion == 13 && iInfo.MajorLevel <= 39)) {
        return 204;
    }
    return 100;
}

// A message queue tunable from sysdef. Until a program first uses message queues the
// module is not loaded and sysdef shows none of its values (Solaris 8 and 9; later
// releases never show them): then the value the module will take applies, that of the
// statement in force in /etc/system (and /etc/system.d) or else the system default.
int kxl_getMsgTunable(const std::string& iOSName, const MsgTunable& iTunable,
                      unsigned long long& oValue)
{
    int aResult = kxl_getSystemVal(iTunable.Word, iTunable.Label, oValue);
    if (aResult != 14) {
        return aResult;
    }
    SystemStatements aStatements{{iTunable.SetName, {}}};
    if (kxl_getSystemStatements(iOSName, aStatements) != 0) {
        return -9998;
    }
    const std::string& aValue = aStatements[iTunable.SetName].Value;
    if (kxl_cnvSettingNumber(aValue, NumberBase::Kernel, oValue) == 0 && oValue <= kKernelValueMax) {
        kxg_outWriteTracelogEx(kNeedFunc, "sysdefに値がないため/etc/systemの値を使用 %s[%llu]",
                               iTunable.Word, oValue);
        return 0;
    }
    oValue = iTunable.Default;
    kxg_outWriteTracelogEx(kNeedFunc, "sysdefに値がないためシステム既定値を使用 %s[%llu]",
                           iTunable.Word, oValue);
    return 0;
}

// Message headers the resource-distribution service needs; 0 when it is not in use.
int kxl_calcMsgTql(const std::string& iOSName, const InstallInfo& iInfo,
                   unsigned long long& oValue)
{
    oValue = 0;
    if (iInfo.VOXLFlg != 1) {
        kxg_outWriteTracelog(kNeedFunc, "VOXLフラグがNOの場合、値は0返却");
        return 0;
    }
    if (kxg_chkInstallCmp(kDistPackage) != 0) {
        kxg_outWriteTracelog(kNeedFunc, "資源配付がインストールされていない場合、値は0返却");
        return 0;
    }
    unsigned long long aMsgmnb = 0, aServmax = 0, aCntmax = 0;
    if (kxl_getMsgTunable(iOSName, kMsgmnb, aMsgmnb) != 0) {
        kxg_outWriteTracelog(kNeedFunc, "msgmnbのチューニング値取得失敗");
        return -1;
    }
    if (kxl_getTolvSetting(kServmax, aServmax) != 0 || kxl_getTolvSetting(kCntmax, aCntmax) != 0) {
        return -1;
    }
    unsigned long long aDivisor = kxl_getMsgDivisor(iInfo);
    oValue = (aServmax + aCntmax + aMsgmnb + 20) / aDivisor;
    kxg_outWriteTracelog(kNeedFunc, aDivisor == 204
                                        ? "(servmax + cntmax + 20 + msgmnbのチューニング値) / 204"
                                        : "(servmax + cntmax + 20 + msgmnbのチューニング値) / 100");
    kxg_outWriteTracelogEx(kNeedFunc, "servmaxオプション値   ：[%llu]", aServmax);
    kxg_outWriteTracelogEx(kNeedFunc, "cntmaxオプション値    ：[%llu]", aCntmax);
    kxg_outWriteTracelogEx(kNeedFunc, "msgmnbのチューニング値：[%llu]", aMsgmnb);
    kxg_outWriteTracelogEx(kNeedFunc, "計算後の必要値        ：[%llu]", oValue);
    return 0;
}

int kxl_calcMsgMap(const std::string& iOSName, unsigned long long& oValue)
{
    unsigned long long aMsgtql = 0;
    if (kxl_getMsgTunable(iOSName, kMsgtql, aMsgtql) != 0) {
        kxg_outWriteTracelog(kNeedFunc, "msgtqlのチューニング値取得失敗");
        return -1;
    }
    oValue = aMsgtql + 2;
    kxg_outWriteTracelog(kNeedFunc, "msgtqlのチューニング値 + 2");
    kxg_outWriteTracelogEx(kNeedFunc, "msgtqlのチューニング値：[%llu]", aMsgtql);
    kxg_outWriteTracelogEx(kNeedFunc, "計算後の必要値        ：[%llu]", oValue);
    return 0;
}

} // namespace

int kxl_getCalcNeedVal(const std::string& iParamName, const std::string& iOSName,
                       const InstallInfo& iInfo, unsigned long long& oValue)
{
    if (iParamName == "msgsys:msginfo_msgtql") {
        return kxl_calcMsgTql(iOSName, iInfo, oValue);
    }
    if (iParamName == "msgsys:msginfo_msgmap") {
        return kxl_calcMsgMap(iOSName, oValue);
    }
    kxg_outWriteTracelog(kNeedFunc, "想定外のパラメタエラー");
    return -1;
}

int kxl_getCalcOSInit(const std::string& iParamName, unsigned long long& oValue)
{
    const char* aFunc = "kxl_getCalcOSInit";
    if (iParamName != "project.max-shm-memory") {
        kxg_outWriteTracelogEx(aFunc, "このパラメタのOS初期値にcalcオプションは指定できません[%s]",
                               iParamName.c_str());
        return -1;
    }
    if (kxl_getShmMemoryDefault(oValue) != 0) {
        kxg_outWriteTracelog(aFunc, "OS初期値計算失敗(物理メモリ取得失敗)");
        return -1;
    }
    return 0;
}
