// KernelValue.cpp
// A calculation's view of the running kernel: a tunable from the sysdef output and the
// physical memory from the prtconf output, each command run through grep for the line.
#include <climits>

#include "HostText.h"
#include "KernelValue.h"
#include "KxxComGetSysInfo.h"
#include "KxxComOutTrace.h"
#include "KxxComProcess.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"
#include "SettingNumber.h"

namespace {

const char* const kSysdef = "/usr/sbin/sysdef";
const char* const kPrtconf = "/usr/sbin/prtconf";
const char* const kGrep = "/usr/bin/grep";
const unsigned long long kBytesPerMegabyte = 1024ULL * 1024ULL;
// The pieces of a sysdef or prtconf line that the tool takes (value word, label, memory
// size) are at most this long; a line with a longer piece is passed over.
const size_t kPieceMax = 256;

// "<root>/usr/sbin/xxx | <root>/usr/bin/grep WORD"
std::string kxl_grepCommand(const char* iCommand, const char* iWord)
{
    return kxg_cnvShellWord(kxg_getHostPath(iCommand)) + " | " +
           kxg_cnvShellWord(kxg_getHostPath(kGrep)) + " " + iWord;
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
    unsigned long long aMegabytes = 0;
    return kxl_cnvSettingNumber(aSize, NumberBase::Decimal, aMegabytes) == kNoNumber ? "" : aSize;
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
    bool aHex = kxl_isHexText(iWord, NumberBase::Sysdef);
    // "0x" alone is no number, not a zero.
    if (kxl_cnvSettingNumber(iWord, NumberBase::Sysdef, oValue) == kNoNumber) {
        kxg_outDetailTracelogEx(aFunc, aHex ? "数値以外の文字あり(16進)[%s]" : "数値以外の文字あり[%s]",
                               iWord.c_str());
        return -1;
    }
    kxg_outDetailTracelogEx(aFunc, aHex ? "パラメタ値発見(16進)[%s]" : "パラメタ値発見(10進)[%s]",
                           iWord.c_str());
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
    if (iLine.size() - aPos > kPieceMax) {
        return 14;
    }
    if (aWord.size() > kPieceMax) {
        // The value of the line looked for, too long to be a number: the output is
        // unreadable, not without the value.
        std::string aLabel = iLine.substr(aPos);
        if (kxg_trimRight(kxg_trimLeft(aLabel)) != iLabel) {
            return 14;
        }
        kxg_outWriteTracelogEx(aFunc, "値の文字列が長すぎるため読めない[%s]", iLabel);
        return -1;
    }
    kxg_outDetailTracelogEx(aFunc, "先頭からタブまたはスペースまでの文字列を取得[%s]",
                           aWord.c_str());
    kxg_trimRight(kxg_trimLeft(aWord));
    if (aWord.empty()) {
        return 14;
    }
    std::string aLabel = iLine.substr(aPos);
    kxg_trimRight(kxg_trimLeft(aLabel));
    kxg_outDetailTracelogEx(aFunc, "タブまたはスペースから末尾までの文字列を取得[%s]",
                           aLabel.c_str());
    kxg_outDetailTracelogEx(aFunc, "パラメタの文字列と取得した文字列を比較[%s][%s]", iLabel,
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
    kxl_cnvSettingNumber(aSize, NumberBase::Decimal, oMegabytes);
    // No host runs without memory: a size of 0 is output that cannot be trusted.
    if (oMegabytes == 0) {
        kxg_outWriteTracelog(aFunc, "物理メモリが0のためprtconfの出力を読めない");
        return -1;
    }
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
