// CalcValue.cpp
// Values of "calc" rows worked out from the running host: kernel tunables from sysdef,
// the physical memory from prtconf and the resource-distribution service's settings.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "KxxComGetSysInfo.h"
#include "KxxComInstallInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"
#include "KxxComTolvInfo.h"
#include "kxsyfchk.h"

namespace {

const char* const kNeedFunc = "kxl_getCalcNeedVal";
const char* const kSysdef = "/usr/sbin/sysdef";
const char* const kPrtconf = "/usr/sbin/prtconf";
const char* const kGrep = "/usr/bin/grep";
const char* const kDistPackage = "ZVNQkxsdl";
// Kernel values above 2^60 are refused.
const unsigned long long kKernelValueMax = 1ULL << 60;
const unsigned long long kBytesPerMegabyte = 1024ULL * 1024ULL;
// The pieces of a sysdef or prtconf line that the tool takes (value word, label, memory
// size) are at most this long; a line with a longer piece is passed over.
const size_t kPieceMax = 256;

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

// strtoull in base iBase, ULLONG_MAX when the number does not fit.
unsigned long long kxl_cnvNumber(const std::string& iText, int iBase)
{
    errno = 0;
    unsigned long long aValue = strtoull(iText.c_str(), nullptr, iBase);
    return errno == ERANGE ? ULLONG_MAX : aValue;
}

// "<root>/usr/sbin/xxx | <root>/usr/bin/grep WORD"
std::string kxl_grepCommand(const char* iCommand, const char* iWord)
{
    return kxg_cnvShellWord(kxg_getHostPath(iCommand)) + " | " +
           kxg_cnvShellWord(kxg_getHostPath(kGrep)) + " " + iWord;
}

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
    if (kxg_chkStrisDigit(aText) != 1) {
        kxg_outWriteTracelog(kNeedFunc, iSetting.NotNumberMsg);
        return 0;
    }
    unsigned long long aValue = kxl_cnvNumber(aText, 10);
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
// releases never show them): then the value the module will take applies, that of
// /etc/system or else the system default.
int kxl_getMsgTunable(const MsgTunable& iTunable, unsigned long long& oValue)
{
    int aResult = kxl_getSystemVal(iTunable.Word, iTunable.Label, oValue);
    if (aResult != 14) {
        return aResult;
    }
    std::string aText, aWord;
    uint32_t aPos = 0;
    if (kxl_getSystemSetting(iTunable.SetName, aText) == 0) {
        kxg_cutBlTbWord(aText, aPos, aWord);
    }
    if (kxl_cnvSettingNumber(aWord, true, oValue) == 0 && oValue <= kKernelValueMax) {
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
int kxl_calcMsgTql(const InstallInfo& iInfo, unsigned long long& oValue)
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
    if (kxl_getMsgTunable(kMsgmnb, aMsgmnb) != 0) {
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

int kxl_calcMsgMap(unsigned long long& oValue)
{
    unsigned long long aMsgtql = 0;
    if (kxl_getMsgTunable(kMsgtql, aMsgtql) != 0) {
        kxg_outWriteTracelog(kNeedFunc, "msgtqlのチューニング値取得失敗");
        return -1;
    }
    oValue = aMsgtql + 2;
    kxg_outWriteTracelog(kNeedFunc, "msgtqlのチューニング値 + 2");
    kxg_outWriteTracelogEx(kNeedFunc, "msgtqlのチューニング値：[%llu]", aMsgtql);
    kxg_outWriteTracelogEx(kNeedFunc, "計算後の必要値        ：[%llu]", oValue);
    return 0;
}

// The memory size text of a prtconf line, or empty when the line holds none.
std::string kxl_getMemorySizeText(std::string iLine)
{
    std::string aSize;
    kxg_trimRight(kxg_trimLeft(iLine));
    if (iLine.empty() || kxg_getMidStrEx(iLine, "Memory size:", "Megabytes", aSize) != 0 ||
        aSize.size() > kPieceMax) {
        return "";
    }
    kxg_trimRight(kxg_trimLeft(aSize));
    return kxg_chkStrisDigit(aSize) == 1 ? aSize : "";
}

// Megabytes to bytes; -1 when the bytes would reach ULLONG_MAX.
int kxl_cnvMegabytes(unsigned long long iMegabytes, unsigned long long& oBytes)
{
    const char* aFunc = "kxl_GetSysMemory";
    if (iMegabytes == ULLONG_MAX) {
        kxg_outWriteTracelog(
            aFunc, "物理メモリ(Mbyte)が unsigned long long int の上限を超えているまたは同じ");
        return -1;
    }
    const unsigned long long aLimit = ULLONG_MAX / kBytesPerMegabyte;
    if (iMegabytes >= aLimit) {
        kxg_outWriteTracelogEx(aFunc, "ULLONG_MAX / (1024 * 1024) = %llu", aLimit);
        kxg_outWriteTracelog(
            aFunc, "物理メモリ(byte)が unsigned long long int の上限を超えているまたは同じ");
        return -1;
    }
    oBytes = iMegabytes * kBytesPerMegabyte;
    kxg_outWriteTracelogEx(aFunc, "バイトに変換:[%llu Byte]", oBytes);
    return 0;
}

// The value word of a sysdef line: "0x"/"0X" and hexadecimal digits, or decimal digits.
// -1 when it is neither.
int kxl_cnvSysdefWord(const std::string& iWord, unsigned long long& oValue)
{
    const char* aFunc = "kxl_getSystemVal";
    if (iWord.size() >= 2 && iWord[0] == '0' && (iWord[1] == 'x' || iWord[1] == 'X')) {
        // "0x" alone is no number, not a zero.
        if (iWord.size() == 2 || kxg_chkStrisDigitX(iWord.substr(2)) != 1) {
            kxg_outWriteTracelogEx(aFunc, "数値以外の文字あり(16進)[%s]", iWord.c_str());
            return -1;
        }
        kxg_outWriteTracelogEx(aFunc, "パラメタ値発見(16進)[%s]", iWord.c_str());
        oValue = kxl_cnvNumber(iWord, 16);
        return 0;
    }
    if (kxg_chkStrisDigit(iWord) != 1) {
        kxg_outWriteTracelogEx(aFunc, "数値以外の文字あり[%s]", iWord.c_str());
        return -1;
    }
    kxg_outWriteTracelogEx(aFunc, "パラメタ値発見(10進)[%s]", iWord.c_str());
    oValue = kxl_cnvNumber(iWord, 10);
    return 0;
}

// The value of a sysdef line labelled iLabel; 14 when the line is not that one, -1 when
// its value is not a number.
int kxl_getSysdefLineValue(std::string iLine, const char* iLabel, unsigned long long& oValue)
{
    const char* aFunc = "kxl_getSystemVal";
    kxg_trimRight(kxg_trimLeft(iLine));
    if (iLine.empty()) {
        return 14;
    }
    uint32_t aPos = 0;
    std::string aWord;
    kxg_cutBlTbWord(iLine, aPos, aWord);
    if (aWord.size() > kPieceMax || iLine.size() - aPos > kPieceMax) {
        return 14;
    }
    kxg_outWriteTracelogEx(aFunc, "先頭からタブまたはスペースまでの文字列を取得[%s]",
                           aWord.c_str());
    kxg_trimRight(kxg_trimLeft(aWord));
    if (aWord.empty()) {
        return 14;
    }
    std::string aLabel = iLine.substr(aPos);
    kxg_trimRight(kxg_trimLeft(aLabel));
    kxg_outWriteTracelogEx(aFunc, "タブまたはスペースから末尾までの文字列を取得[%s]",
                           aLabel.c_str());
    kxg_outWriteTracelogEx(aFunc, "パラメタの文字列と取得した文字列を比較[%s][%s]", iLabel,
                           aLabel.c_str());
    if (aLabel != iLabel) {
        return 14;
    }
    return kxl_cnvSysdefWord(aWord, oValue);
}

} // namespace

// The size in megabytes from the first prtconf line that states one.
int kxl_readMemorySize(FILE* iFile, unsigned long long& oMegabytes)
{
    const char* aFunc = "kxl_GetSysMemory";
    std::string aLine, aSize;
    while (aSize.empty()) {
        int aRead = kxg_readFileRow(iFile, aLine);
        if (aRead == -9993) {
            kxg_outWriteTracelog(aFunc, "メモリーの確保失敗");
            return -9993;
        }
        if (aRead != 0) {
            kxg_outWriteTracelog(aFunc, "prtconfコマンドにて物理メモリを取得出来なかった");
            return -1;
        }
        aSize = kxl_getMemorySizeText(aLine);
    }
    kxg_outWriteTracelogEx(aFunc, "メモリサイズ発見:[%s MByte]", aSize.c_str());
    oMegabytes = kxl_cnvNumber(aSize, 10);
    return 0;
}

// The first valid value of a line labelled iLabel in the sysdef output.
int kxl_readSysdefValue(FILE* iFile, const char* iLabel, unsigned long long& oValue)
{
    const char* aFunc = "kxl_getSystemVal";
    std::string aLine;
    // A labelled line whose value is no number makes the output unreadable; only when
    // there is no such line at all does sysdef not show the value.
    bool aUnreadable = false;
    for (;;) {
        int aRead = kxg_readFileRow(iFile, aLine);
        if (aRead == -9993) {
            kxg_outWriteTracelog(aFunc, "メモリーの確保失敗");
            return -9993;
        }
        if (aRead != 0) {
            kxg_outWriteTracelog(aFunc, "対象のデータが見つからなかった");
            return aRead == -1 && !aUnreadable ? 14 : -1;
        }
        int aLineValue = kxl_getSysdefLineValue(aLine, iLabel, oValue);
        if (aLineValue == 0) {
            return 0;
        }
        aUnreadable = aUnreadable || aLineValue == -1;
    }
}

int kxl_getCalcNeedVal(const std::string& iParamName, const InstallInfo& iInfo,
                       unsigned long long& oValue)
{
    if (iParamName == "msgsys:msginfo_msgtql") {
        return kxl_calcMsgTql(iInfo, oValue);
    }
    if (iParamName == "msgsys:msginfo_msgmap") {
        return kxl_calcMsgMap(oValue);
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
    unsigned long long aBytes = 0;
    if (kxl_GetSysMemory(aBytes) != 0) {
        kxg_outWriteTracelog(aFunc, "OS初期値計算失敗(物理メモリ取得失敗)");
        return -1;
    }
    // A quarter of the physical memory is what the system allows by default.
    oValue = aBytes / 4;
    return 0;
}

int kxl_GetSysMemory(unsigned long long& oBytes)
{
    const char* aFunc = "kxl_GetSysMemory";
    if (kxg_chkFileExist(kxg_getHostPath(kPrtconf)) != 3) {
        kxg_outWriteTracelog(aFunc, "prtconfコマンドなしエラー");
        return -1;
    }
    FilePtr aFile;
    int aStatus = 0;
    if (kxg_opnSComTmpFile(aFile, aFunc, kxl_grepCommand(kPrtconf, "Memory"), aStatus) != 0) {
        kxg_outWriteTracelog(aFunc, "コマンド実行結果オープンエラー");
        return -1;
    }
    unsigned long long aMegabytes = 0;
    int aResult = kxl_readMemorySize(aFile.get(), aMegabytes);
    kxg_cloSComTmpFile(aFile, aFunc);
    if (aResult != 0) {
        return -1;
    }
    return kxl_cnvMegabytes(aMegabytes, oBytes);
}

int kxl_getSystemVal(const char* iWord, const char* iLabel, unsigned long long& oValue)
{
    const char* aFunc = "kxl_getSystemVal";
    if (kxg_chkFileExist(kxg_getHostPath(kSysdef)) != 3) {
        kxg_outWriteTracelog(aFunc, "sysdefコマンドなしエラー");
        return -1;
    }
    FilePtr aFile;
    int aStatus = 0;
    if (kxg_opnSComTmpFile(aFile, aFunc, kxl_grepCommand(kSysdef, iWord), aStatus) != 0) {
        kxg_outWriteTracelog(aFunc, "コマンド実行結果オープンエラー");
        return -9998;
    }
    int aResult = kxl_readSysdefValue(aFile.get(), iLabel, oValue);
    kxg_cloSComTmpFile(aFile, aFunc);
    if (aResult == 0 && oValue > kKernelValueMax) {
        kxg_outWriteTracelogEx(aFunc, "発見したパラメタ値が 2^60 を超えている[%llu]", oValue);
        return -1;
    }
    return aResult;
}
