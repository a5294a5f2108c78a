// KxxComCodeConv.h
// Layer 1 (ground).
// The converting half of the code conversion: the program's EUC-JP texts into the code
// sets of the output, with descriptor 0 (gIC) for the files (trace and output log) and
// descriptor 1 (gICLC) for the console, which it holds but never opens (KxxComTraceStart
// does). A descriptor is 0 when its target needs no conversion (EUC, ASCII) or could not
// be opened.
#ifndef KXXCOMCODECONV_H
#define KXXCOMCODECONV_H

#include <iconv.h>
#include <string>
#include <unordered_map>

extern iconv_t gIC;
extern iconv_t gICLC;
// Whether each descriptor writes the ASCII bytes of a text as they are (UTF-8 does).
extern bool gICAscii;
extern bool gICLCAscii;

// 1 when the descriptor chosen by iSelector (0 files, else console) is open, else 0.
int kxg_chkIcov(int iSelector);

// The converted runs of non-ASCII text that one descriptor gave, so that the fixed texts
// of a program (the Japanese words of its trace lines) are converted once. It holds at
// most a bounded amount; what comes after is converted each time.
struct KxConvCache {
    iconv_t Desc = nullptr;
    std::unordered_map<std::string, std::string> Runs;
    size_t Bytes = 0;
};

// Converts the iLen bytes of iText whole with iDesc into oText, by length (a target such
// as UTF-16 has zero bytes); a character the target cannot take becomes one "?". With
// iAsciiKept (a target that writes ASCII as it is, and so holds no shift state) only the
// other characters go through the descriptor, through ioCache when one is given. Throws
// std::bad_alloc when memory runs out.
void kxg_cnvText(iconv_t iDesc, const char* iText, size_t iLen, std::string& oText,
                 bool iAsciiKept = false, KxConvCache* ioCache = nullptr);

// Whether iDesc writes every ASCII byte as it is.
bool kxg_chkAsciiKept(iconv_t iDesc);

#endif
