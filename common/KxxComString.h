// KxxComString.h
// Layer 1 (ground).
// Byte-string utilities shared by the whole family: line sizing and reading, field
// cutting with a caller-held cursor, trimming, digit tests and escape sequences.
// They know nothing of character sets: a byte of 0x80 or above is never a blank, a digit
// or a letter to them, so EUC-JP text passes through byte by byte.
#ifndef KXXCOMSTRING_H
#define KXXCOMSTRING_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

// Size to allocate for reading the next line of iFile (its length + 5), without
// consuming it; -1 at end of file.
long kxg_cntFileRowLen(FILE* iFile);

// Reads the next line of iFile whole, line feed included, into oLine, in one pass; the
// text ends at a zero byte. 0 read; -1 end of file; -9998 read error, or a line of more
// than 256 MiB; -9993 no memory for it.
int kxg_readFileRow(FILE* iFile, std::string& oLine);

// Bytes of the EUC-JP character that begins the iLen bytes of iText, as its lead byte
// tells (0x8E two, 0x8F three, 0xA1..0xFE two, else one), but never an ASCII byte after
// the lead nor more than iLen: a broken character never swallows the text after it.
size_t kxg_cntEucChar(const char* iText, size_t iLen);

// Cuts ioText to at most iMax bytes without splitting an EUC-JP character.
void kxg_cutEucText(std::string& ioText, size_t iMax);
// The length of the iLen bytes of iText cut that way.
size_t kxg_cntEucText(const char* iText, size_t iLen, size_t iMax);

// Formats iFormat into oBuff (iSize bytes, at least 2), cut like kxg_cutEucText at
// iSize - 2 bytes: the last byte is needed to see whether the cut splits a character.
// The length of the text.
size_t kxg_vfmtEucText(char* oBuff, size_t iSize, const char* iFormat, va_list iArgs);

// The ioLen bytes of iText with every control character written visibly: "\n", "\r",
// "\t", others as "\x1b"; any other byte, EUC-JP text included, as it is. Answers iText
// itself when it holds none, else oBuff holding the visible text (ioLen its length).
const char* kxg_cnvCtlVisible(const char* iText, size_t& ioLen, std::string& oBuff);

// Next field of iString at the separator iSep, from the cursor ioPos on.
void kxg_cutWord(const std::string& iString, char iSep, uint32_t& ioPos, std::string& oWord);

// Next word of iString between blanks and tabs, from the cursor ioPos on.
void kxg_cutBlTbWord(const std::string& iString, uint32_t& ioPos, std::string& oWord);

// Replaces the first occurrence of iFind in ioString. 0 replaced; 14 iFind empty or absent.
int kxg_chgStrCnv(std::string& ioString, const std::string& iFind, const std::string& iReplace);

// Turns the backslash escape sequences of message texts into their control characters.
void kxg_chgCRTAB(std::string& ioString);

// Remove leading / trailing blanks, tabs, CRs and LFs. kxg_trimRight never removes the
// first character of the string.
std::string& kxg_trimLeft(std::string& ioString);
std::string& kxg_trimRight(std::string& ioString);

// The upper case of an ASCII letter; any other byte as it is.
char kxg_toUpperChar(char iChar);

// Upper-cases the ASCII letters of ioString.
void kxg_toUpper(std::string& ioString);

// 1 when every byte is a decimal (hexadecimal) digit, the empty string included; else 0.
int kxg_chkStrisDigit(const std::string& iString);
int kxg_chkStrisDigitX(const std::string& iString);

// Text between the first iOpen and the next iClose. 0 found; -9985 no opening character
// (oMid untouched); -9984 no closing character (oMid holds everything after iOpen).
int kxg_getMidStr(const std::string& iString, char iOpen, char iClose, std::string& oMid);

// Text between the first iOpen text and the next iClose text; codes as kxg_getMidStr,
// but oMid is emptied first.
int kxg_getMidStrEx(const std::string& iString, const std::string& iOpen,
                    const std::string& iClose, std::string& oMid);

#endif
