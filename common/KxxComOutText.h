// KxxComOutText.h
// Layer 3 (services that trace).
// Program texts on their way out: a conversion for the files or the console that traces
// its own failure, and the program's formats written converted to the console or a file.
#ifndef KXXCOMOUTTEXT_H
#define KXXCOMOUTTEXT_H

#include <cstdarg>
#include <cstdio>
#include <string>

// Converts iText with the chosen descriptor into oResult, whole and by length (a target
// such as UTF-16 has zero bytes); a character the target cannot take becomes one "?".
// 0 converted; -1 descriptor not open (oResult untouched); -9993 no memory.
int kxg_chgIcov(const char* iText, std::string& oResult, int iSelector);

// Writes iText to iStream, converted with descriptor iSelector (0 files, 1 console) when
// that one is open. 0; -9993 not converted (nothing written).
int kxg_outText(FILE* iStream, const std::string& iText, int iSelector);

// Formats iFormat into iStream; a text to be converted (descriptor iSelector open) is
// formatted into a 4096-byte buffer first, so cut at 4095 bytes. 0; -9993 not converted.
int kxg_vOutText(FILE* iStream, int iSelector, const char* iFormat, va_list iArgs);

// Prints a format of the program's own on standard output. 0 printed; -9993 not converted.
int kxg_outPrintf(const char* iFormat, ...) __attribute__((format(printf, 1, 2)));

#endif
