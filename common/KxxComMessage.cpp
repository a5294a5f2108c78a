// KxxComMessage.cpp
#include "KxxComMessage.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "KxxComCodeConv.h"
#include "KxxComFile.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutText.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

std::unique_ptr<SysMsgInfo> gSysMsgInfoSTR;

namespace {

// Limits of a console catalog row: identifier, text.
const uint32_t sSysMsgMaxlen[2] = {5, 2047};
// Limits of the first four fields of an output-log catalog row: tool identifier, level,
// message identifier, message text.
const uint32_t sLogMsgMaxlen[4] = {24, 1, 5, 1023};

// The console catalog is read through a buffer of this size: a longer line is read as
// several lines.
const int kSysMsgLineBuffer = 4096;

const char* const kSysMsgFile = "SysMessage.csv";
const char* const kOutLogMsgFile = "OutLogMessage.csv";

// The output log as the run found it before its report.
struct OutLogMark {
    std::string Path;
    bool Existed = false;
    off_t Size = 0;
};
std::optional<OutLogMark> sOutLogMark;

// One output-log catalog row, parsed.
struct OLogMsgRecord {
    std::string ToolId;
    std::string Level;
    std::string MsgId;
    std::string MsgText;
    std::string MsgBody; // everything after the fourth comma
};

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
    oFile = kxg_openInput(aPath);
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

int kxl_outFile(FILE* iFile, const char* iFormat, ...) __attribute__((format(printf, 2, 3)));
int kxl_outFile(FILE* iFile, const char* iFormat, ...)
{
    va_list aArgs;
    va_start(aArgs, iFormat);
    int aResult = kxg_vOutText(iFile, 0, iFormat, aArgs);
    va_end(aArgs);
    return aResult;
}

// Closes the output log and tells whether everything written reached it: a full disk
// must not pass for a written report. 0; -1 a write failed.
int kxl_cloOutLog(const char* iFunc, FilePtr& ioFile)
{
    FILE* aFile = ioFile.release();
    bool aFailed = ferror(aFile) != 0;
    if (fclose(aFile) != 0) {
        aFailed = true;
    }
    if (aFailed) {
        kxg_outWriteTracelog(iFunc, "出力ログファイル書き込みエラー");
        return -1;
    }
    return 0;
}

// Cuts the output log iPath back to iSize bytes, never through a symbolic link. 0; else
// -1 with errno.
int kxl_cutOutLog(const std::string& iPath, off_t iSize)
{
    int aFd = open(iPath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (aFd < 0) {
        return -1;
    }
    int aResult = ftruncate(aFd, iSize);
    int aError = errno;
    close(aFd);
    errno = aError;
    return aResult;
}

// Checks the field limits of one trimmed console catalog row. 0; -9995 a field too long.
int kxl_chkSysMsgFrm(const std::string& iRow)
{
    const char* aFunc = "kxl_chkSysMsgFrm";
    std::string aId;
    uint32_t aPos = 0;
    kxg_cutWord(iRow, ',', aPos, aId);
    if (aId.size() > sSysMsgMaxlen[0]) {
        kxg_outWriteTracelog(aFunc, "ワードが指定バイトを超えているエラー");
        return -9995;
    }
    if (iRow.size() - aPos > sSysMsgMaxlen[1]) {
        kxg_outWriteTracelog(aFunc, "ワードが指定バイトを超えている(最後)エラー");
        return -9995;
    }
    return 0;
}

// Reads the console catalog in one pass, checking every row as it is kept.
// 0; -9995 a row breaks a limit; -9998 not readable. Throws std::bad_alloc.
int kxl_readSysMsgRows(FILE* iFile, SysMsgInfo& ioInfo)
{
    const char* aFunc = "kxg_startSysMessage";
    char aBuff[kSysMsgLineBuffer];
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
        SysMsgRow aRow;
        uint32_t aPos = 0;
        kxg_cutWord(aLine, ',', aPos, aRow.MsgId);
        aRow.MsgText = aLine.substr(aPos);
        ioInfo.Rows.push_back(std::move(aRow));
    }
    // A read error must not leave a shortened catalog that passes for loaded.
    if (ferror(iFile) != 0) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
        return -9998;
    }
    ioInfo.RowCount = static_cast<uint32_t>(ioInfo.Rows.size());
    return 0;
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

// Checks the field limits of one trimmed output-log catalog row; a missing field is empty.
// 0; -9995 a field too long.
int kxl_chkOLogMsgFrm(const std::string& iRow)
{
    const char* aFunc = "kxl_chkOLogMsgFrm";
    std::string aField;
    uint32_t aPos = 0;
    for (uint32_t aLimit : sLogMsgMaxlen) {
        kxg_cutWord(iRow, ',', aPos, aField);
        if (aField.size() > aLimit) {
            kxg_outWriteTracelog(aFunc, "ワードが指定バイトを超えているエラー");
            return -9995;
        }
    }
    return 0;
}

// Parses one checked output-log catalog row into oRec. 0; -9993 no memory.
int kxl_setOLogMsgFrm(OLogMsgRecord& oRec, const std::string& iRow)
{
    const char* aFunc = "kxl_setOLogMsgFrm";
    try {
        uint32_t aPos = 0;
        kxg_cutWord(iRow, ',', aPos, oRec.ToolId);
        kxg_cutWord(iRow, ',', aPos, oRec.Level);
        kxg_cutWord(iRow, ',', aPos, oRec.MsgId);
        kxg_cutWord(iRow, ',', aPos, oRec.MsgText);
        oRec.MsgBody = iRow.substr(aPos);
    } catch (const std::bad_alloc&) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    return 0;
}

// The word of a level of the output-log catalog; null for an unknown level.
const char* kxl_getLevelWord(const std::string& iLevel)
{
    if (iLevel == "0") {
        return "ERROR";
    }
    if (iLevel == "1") {
        return "WARNING";
    }
    if (iLevel == "2") {
        return "INFO";
    }
    return nullptr;
}

// The message text and body as they go into the output log: converted for the files when
// that needs it. 0; -9993 not converted.
int kxl_cnvLogMsg(const OLogMsgRecord& iRec, std::string& oText, std::string& oBody)
{
    std::string aBody = kxl_chgPercent(iRec.MsgBody);
    if (kxg_chkIcov(0) != 1) {
        oText = iRec.MsgText;
        oBody = aBody;
        return 0;
    }
    if (kxg_chgIcov(iRec.MsgText.c_str(), oText, 0) != 0 ||
        kxg_chgIcov(aBody.c_str(), oBody, 0) != 0) {
        return -9993;
    }
    return 0;
}

// Appends the header (unless iHeadFlg is 1) and the body of ioRec to the output log iPath.
// 0; -9998 file not opened; -9995 unknown level; -9993 not converted; -1 not written.
int kxl_outLogMsg(OLogMsgRecord& ioRec, const std::string& iPath, int iHeadFlg)
{
    const char* aFunc = "kxl_outLogMsg";
    // The level is checked before the file is opened, so that a bad row creates no file.
    const char* aLevel = kxl_getLevelWord(ioRec.Level);
    if (aLevel == nullptr) {
        kxg_outWriteTracelog(aFunc, "フォーマットエラー");
        return -9995;
    }
    FilePtr aFile = kxg_openAppend(iPath);
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    std::string aStamp, aText, aBody;
    kxg_getDateAndHour(2, aStamp);
    kxg_chgCRTAB(ioRec.MsgBody);
    kxg_outWriteTracelogEx(aFunc, "[出力ログメッセージ情報][%s:%s:%s:%s]", ioRec.ToolId.c_str(),
                           aLevel, ioRec.MsgId.c_str(), ioRec.MsgText.c_str());
    // Both texts are converted before anything is written, so a failure writes nothing.
    if (kxl_cnvLogMsg(ioRec, aText, aBody) != 0) {
        return -9993;
    }
    if (iHeadFlg != 1) {
        // Written by length: a converted text may hold zero bytes (UTF-16).
        std::string aHead = "\n[" + aStamp + "] " + ioRec.ToolId + ":" + aLevel + ":" +
                            ioRec.MsgId + ":" + aText + "\n\n";
        fwrite(aHead.data(), 1, aHead.size(), aFile.get());
    }
    fwrite(aBody.data(), 1, aBody.size(), aFile.get());
    return kxl_cloOutLog(aFunc, aFile);
}

// Reads the next row of the output-log catalog whole, skipping empty and comment lines.
// 0 read; 1 end of the catalog; -9993 no memory.
int kxl_readOLogRow(FILE* iFile, std::string& oRow)
{
    for (;;) {
        int aResult = kxg_readFileRow(iFile, oRow);
        if (aResult == -9993) {
            return -9993;
        }
        if (aResult != 0) {
            return 1;
        }
        if (kxl_isMsgRow(oRow)) {
            return 0;
        }
    }
}

} // namespace

void kxg_iniGlobalMessage()
{
    gSysMsgInfoSTR.reset();
    sOutLogMark.reset();
}

void kxg_markOutLog(const std::string& iPath)
{
    struct stat aStat;
    bool aExisted = lstat(iPath.c_str(), &aStat) == 0;
    sOutLogMark = OutLogMark{iPath, aExisted, aExisted ? aStat.st_size : 0};
}

int kxg_rstOutLog()
{
    const char* aFunc = "kxg_rstOutLog";
    if (!sOutLogMark) {
        return 0;
    }
    OutLogMark aMark = *sOutLogMark;
    struct stat aStat;
    if (lstat(aMark.Path.c_str(), &aStat) != 0 || !S_ISREG(aStat.st_mode) ||
        aStat.st_size <= aMark.Size) {
        return 0;
    }
    int aResult = aMark.Existed ? kxl_cutOutLog(aMark.Path, aMark.Size)
                                : unlink(aMark.Path.c_str());
    if (aResult != 0) {
        kxg_outWriteTracelogEx(aFunc, "出力ログファイルを実行前の状態に戻せない[%s][%s]",
                               aMark.Path.c_str(), strerror(errno));
        return -1;
    }
    kxg_outWriteTracelogEx(aFunc, "出力ログファイルを実行前の状態に戻した[%s][%lld]",
                           aMark.Path.c_str(), static_cast<long long>(aMark.Size));
    return 0;
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
    try {
        int aResult = kxl_readSysMsgRows(aFile.get(), *aInfo);
        if (aResult != 0) {
            return aResult;
        }
    } catch (const std::bad_alloc&) {
        kxg_outWriteTracelog(aFunc, "リストのメモリー確保エラー");
        return -9993;
    }
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
    return kxg_outText(stdout, kxl_chgPercent(aRow->MsgText), 1);
}

void kxg_endSysMessage()
{
    gSysMsgInfoSTR.reset();
}

int kxg_outOLTitle(const std::string& iPath)
{
    const char* aFunc = "kxg_outOLTitle";
    FilePtr aFile = kxg_openAppend(iPath);
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    std::string aComment;
    if (kxg_getComComment(aComment) != 0) {
        kxg_outWriteTracelog(aFunc, "コマンドコメント取得エラー");
        return -1;
    }
    if (kxl_outFile(aFile.get(), "\n□%sにて以下の情報が検出されました\n", aComment.c_str()) != 0) {
        return -9993;
    }
    return kxl_cloOutLog(aFunc, aFile);
}

int kxg_outOLMessage(const std::string& iPath, const char* iMsgId, const char* iToolId)
{
    return kxg_outOLMessageEx(iPath, iMsgId, iToolId, 0);
}

int kxg_outOLMessageEx(const std::string& iPath, const char* iMsgId, const char* iToolId,
                       int iHeadFlg)
{
    const char* aFunc = "kxg_outOLMessageEx";
    OLogMsgRecord aRec;
    FilePtr aFile;
    if (kxl_opnMsgList(aFile, kOutLogMsgFile) != 0) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンにエラー");
        return -9998;
    }
    std::string aRow;
    int aRead;
    while ((aRead = kxl_readOLogRow(aFile.get(), aRow)) == 0) {
        int aResult = kxl_chkOLogMsgFrm(aRow);
        if (aResult != 0) {
            kxg_outWriteTracelog(aFunc, "フォーマットエラー");
            return aResult;
        }
        if (kxl_setOLogMsgFrm(aRec, aRow) != 0) {
            kxg_outWriteTracelog(aFunc, "内容取得エラー");
            return -1;
        }
        if (aRec.MsgId == iMsgId && aRec.ToolId == iToolId) {
            if (kxl_outLogMsg(aRec, iPath, iHeadFlg) != 0) {
                kxg_outWriteTracelogEx(aFunc, "出力ログファイル出力エラー[%s]", iMsgId);
                return -1;
            }
            return 0;
        }
    }
    if (aRead == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    kxg_outWriteTracelogEx(aFunc, "メッセージIDなしエラー[%s]", iMsgId);
    return -9994;
}

int kxg_outOLString(const std::string& iPath, const char* iFormat, ...)
{
    const char* aFunc = "kxg_outOLString";
    FilePtr aFile = kxg_openAppend(iPath);
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    va_list aArgs;
    va_start(aArgs, iFormat);
    int aResult = kxg_vOutText(aFile.get(), 0, iFormat, aArgs);
    va_end(aArgs);
    if (aResult != 0) {
        return aResult;
    }
    return kxl_cloOutLog(aFunc, aFile);
}
