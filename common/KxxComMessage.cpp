// KxxComMessage.cpp
#include "KxxComMessage.h"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "KxxComCodeConv.h"
#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"

std::unique_ptr<SysMsgInfo> gSysMsgInfoSTR;

namespace {

// Limits of a console catalog row: identifier, text.
const uint32_t sSysMsgMaxlen[2] = {5, 2047};
// The console catalog is read through a buffer of this size: a longer line is read as
// several lines.
const int kSysMsgLineBuffer = 4096;
// Formatted texts that are converted before they are written are formatted into a buffer
// of this size and cut at one byte less.
const size_t kMsgFormatBuffer = 4096;

const char* const kSysMsgFile = "SysMessage.csv";
// Opens the catalog iName of the tool's sys directory for reading.
// 0; -9998 not opened; -9993 the tool directory is not known.
int kxl_opnMsgList(FilePtr& oFile, const char* iName)
{
    const char* aFunc = "kxl_opnMsgList";
    if (!gKXDefChkPath) {
        kxg_outWriteTracelog(aFunc, "パスメモリ確保エラー");
        return -9993;
    }
    std::string aPath = *gKXDefChkPath + "/sys/" + iName;
    oFile = kxg_openFile(aPath, "r");
    if (!oFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        kxg_outWriteTracelog(aFunc, aPath.c_str());
        return -9998;
    }
    return 0;
}

// Trims iLine; true when what is left is a row (neither empty nor a comment).
bool kxl_isMsgRow(std::string& ioLine)
{
    kxg_trimLeft(ioLine);
    kxg_trimRight(ioLine);
    return !ioLine.empty() && ioLine[0] != '#';
}

// Catalog texts are data, not formats: "%%" gives one "%" as printf would, and any other
// "%" stays as it is, so that no conversion of a text ever reaches printf.
std::string kxl_chgPercent(const std::string& iText)
{
    std::string aOut;
    aOut.reserve(iText.size());
    for (size_t i = 0; i < iText.size(); i++) {
        aOut += iText[i];
        if (iText[i] == '%' && i + 1 < iText.size() && iText[i + 1] == '%') {
            i++;
        }
    }
    return aOut;
}

// Writes iText to standard output, converted for the console when that needs it.
// 0; -9993 not converted (nothing written).
int kxl_outConsole(const std::string& iText)
{
    if (kxg_chkIcov(1) != 1) {
        fwrite(iText.data(), 1, iText.size(), stdout);
        return 0;
    }
    std::string aConv;
    if (kxg_chgIcov(iText.c_str(), aConv, 1) != 0) {
        return -9993;
    }
    fwrite(aConv.data(), 1, aConv.size(), stdout);
    return 0;
}

// Checks the field limits of one trimmed console catalog row.
// 0; -9995 a field too long; -9993 no memory.
int kxl_chkSysMsgFrm(const std::string& iRow)
{
    const char* aFunc = "kxl_chkSysMsgFrm";
    std::string aScratch, aId;
    try {
        aScratch = iRow;
    } catch (const std::bad_alloc&) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    uint32_t aPos = 0;
    kxg_cutWord(aScratch, ',', aPos, aId);
    if (aId.size() > sSysMsgMaxlen[0]) {
        kxg_outWriteTracelog(aFunc, "ワードが指定バイトを超えているエラー");
        return -9995;
    }
    if (aScratch.size() - aPos > sSysMsgMaxlen[1]) {
        kxg_outWriteTracelog(aFunc, "ワードが指定バイトを超えている(最後)エラー");
        return -9995;
    }
    return 0;
}

// First pass over the console catalog: checks every row and counts them.
// 0; -9995 a row breaks a limit; -9993 no memory; -9998 not readable.
int kxl_cntSysMsgRows(FILE* iFile, uint32_t& oCount)
{
    const char* aFunc = "kxg_startSysMessage";
    char aBuff[kSysMsgLineBuffer];
    oCount = 0;
    while (fgets(aBuff, sizeof aBuff, iFile) != nullptr) {
        std::string aLine = aBuff;
        if (!kxl_isMsgRow(aLine)) {
            continue;
        }
        int aResult = kxl_chkSysMsgFrm(aLine);
        if (aResult != 0) {
            kxg_outWriteTracelog(aFunc, "メッセージファイルフォーマットエラー");
            return aResult;
        }
        oCount++;
    }
    // A read error must not leave a shortened catalog that passes for loaded.
    if (ferror(iFile) != 0) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
        return -9998;
    }
    return 0;
}

// Second pass: fills the rows counted by the first, never more.
void kxl_setSysMsgRows(FILE* iFile, SysMsgInfo& ioInfo)
{
    char aBuff[kSysMsgLineBuffer];
    uint32_t aRow = 0;
    while (aRow < ioInfo.RowCount && fgets(aBuff, sizeof aBuff, iFile) != nullptr) {
        std::string aLine = aBuff;
        if (!kxl_isMsgRow(aLine)) {
            continue;
        }
        uint32_t aPos = 0;
        kxg_cutWord(aLine, ',', aPos, ioInfo.Rows[aRow].MsgId);
        ioInfo.Rows[aRow].MsgText = aLine.substr(aPos);
        aRow++;
    }
}

// The first console catalog row of identifier iMsgId; null when there is none.
SysMsgRow* kxl_sekSysMsg(const char* iMsgId)
{
    if (!gSysMsgInfoSTR) {
        return nullptr;
    }
    for (SysMsgRow& aRow : gSysMsgInfoSTR->Rows) {
        if (aRow.MsgId == iMsgId) {
            return &aRow;
        }
    }
    return nullptr;
}

} // namespace

void kxg_iniGlobalMessage()
{
    gSysMsgInfoSTR.reset();
}

int kxg_startSysMessage()
{
    const char* aFunc = "kxg_startSysMessage";
    gSysMsgInfoSTR.reset();
    std::unique_ptr<SysMsgInfo> aInfo(new (std::nothrow) SysMsgInfo);
    if (!aInfo) {
        kxg_outWriteTracelog(aFunc, "構造体分のメモリー確保エラー");
        return -9993;
    }
    FilePtr aFile;
    if (kxl_opnMsgList(aFile, kSysMsgFile) != 0) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンにエラー");
        return -9998;
    }
    int aResult = kxl_cntSysMsgRows(aFile.get(), aInfo->RowCount);
    if (aResult != 0) {
        return aResult;
    }
    try {
        aInfo->Rows.resize(aInfo->RowCount);
    } catch (const std::bad_alloc&) {
        kxg_outWriteTracelog(aFunc, "リストのメモリー確保エラー");
        return -9993;
    }
    rewind(aFile.get());
    kxl_setSysMsgRows(aFile.get(), *aInfo);
    gSysMsgInfoSTR = std::move(aInfo);
    return 0;
}

int kxg_outSysMessage(const char* iMsgId)
{
    const char* aFunc = "kxg_outSysMessage";
    SysMsgRow* aRow = kxl_sekSysMsg(iMsgId);
    if (aRow == nullptr) {
        kxg_outWriteTracelogEx(aFunc, "[メッセージIDなしエラー][%s]", iMsgId);
        return -9994;
    }
    kxg_outWriteTracelog(aFunc, aRow->MsgId.c_str());
    kxg_outWriteTracelog(aFunc, aRow->MsgText.c_str());
    kxg_chgCRTAB(aRow->MsgText);
    return kxl_outConsole(kxl_chgPercent(aRow->MsgText));
}

int kxg_outPrintf(const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    if (kxg_chkIcov(1) != 1) {
        vprintf(iFormat, aArgs);
        va_end(aArgs);
        return 0;
    }
    char aBuff[kMsgFormatBuffer];
    vsnprintf(aBuff, sizeof aBuff, iFormat, aArgs);
    va_end(aArgs);
    return kxl_outConsole(aBuff);
}

void kxg_endSysMessage()
{
    gSysMsgInfoSTR.reset();
}
