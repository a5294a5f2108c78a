// KxxComMessage.h
// Layer 5 (framework).
// Console messages from the catalog sys/SysMessage.csv (loaded once per run, shown by
// identifier) and the output log: title, messages of the catalog sys/OutLogMessage.csv
// (scanned per request) and free text. Console texts are converted for the user's
// locale, output-log texts for the files' code set.
#ifndef KXXCOMMESSAGE_H
#define KXXCOMMESSAGE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SysMsgRow {
    std::string MsgId;   // at most 5 bytes
    std::string MsgText; // at most 2047 bytes, escape sequences as written in the file
};

struct SysMsgInfo {
    uint32_t RowCount = 0;
    std::vector<SysMsgRow> Rows; // file order
};

// The loaded console catalog; empty when none is loaded.
extern std::unique_ptr<SysMsgInfo> gSysMsgInfoSTR;

// Forgets any catalog and output log mark, before anything of the run can fail.
void kxg_iniGlobalMessage();

// Loads the console catalog; a catalog without rows counts as loaded. 0 loaded;
// -9993 no memory; -9998 file not opened or not readable; -9995 a row breaks a field limit.
int kxg_startSysMessage();

// Shows the catalog message iMsgId on standard output. The text is never used as a
// format: it is printed as it stands, except that "%%" gives one "%".
// 0 shown; -9994 no such identifier or no catalog loaded; -9993 not converted.
int kxg_outSysMessage(const char* iMsgId);

// Releases the console catalog.
void kxg_endSysMessage();

// Appends the title naming the command's Comment to the output log iPath.
// 0; -9998 file not opened; -1 comment not read or not written; -9993 not converted.
int kxg_outOLTitle(const std::string& iPath);

// Appends the output-log message iMsgId of tool iToolId (header and body); the first
// matching row wins, and every row before it must keep the field limits. The body is
// printed as it stands, except that "%%" gives one "%".
// 0; -9998 catalog not opened; -9993 no memory; -9995 a catalog row breaks a field
// limit; -1 a row not parsed, or the message not converted or not written;
// -9994 no such row.
int kxg_outOLMessage(const std::string& iPath, const char* iMsgId, const char* iToolId);
// The same; iHeadFlg 1 writes the body only.
int kxg_outOLMessageEx(const std::string& iPath, const char* iMsgId, const char* iToolId,
                       int iHeadFlg);

// Notes the output log iPath as the run finds it before its report: its size, or that it
// is absent; kxg_iniGlobalMessage forgets it.
void kxg_markOutLog(const std::string& iPath);

// Puts the output log back as kxg_markOutLog found it when the run has added to it: cut
// to its size, or removed when the run created it, so that a failed report leaves no
// torn block. Nothing is done without a mark, or to anything but a regular file.
// 0; -1 not put back.
int kxg_rstOutLog();

// Appends a format of the program's own to the output log iPath.
// 0; -9998 file not opened; -9993 not converted; -1 not written.
int kxg_outOLString(const std::string& iPath, const char* iFormat, ...)
    __attribute__((format(printf, 2, 3)));

#endif
