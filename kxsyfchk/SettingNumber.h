// SettingNumber.h
// Layer 6 (the command's ground).
// The one reader of the numbers the check works with, each form read as the program that
// uses it reads it: the kernel a "set" value of /etc/system, setproject a resource-control
// value of /etc/project, sysdef and prtconf their output; the resource-distribution
// service's settings and the numbers of the parameter list rows are plain decimal.
#ifndef SETTINGNUMBER_H
#define SETTINGNUMBER_H

#include <string>

// How a text writes its number.
enum class NumberBase {
    Kernel,  // a "set" value as the kernel's lexer reads it: "0x" hexadecimal, a leading 0
             // octal, else decimal; the number ends at the first character that is no digit
             // of it, what follows is ignored; beyond 64 bits it wraps
    Project, // a resource-control value as setproject reads it: decimal, a "+" allowed
    Sysdef,  // "0x" or "0X" and hexadecimal digits, or decimal digits, as sysdef prints them
    Decimal, // decimal digits only: prtconf, the service's settings, the rows
};

// Results of kxl_cnvSettingNumber besides 0 (read).
const int kNumberTooLarge = 1; // digits of the base, but beyond 64 bits
const int kNoNumber = -1;      // no number of that form

// Reads iText as a number of iBase into oValue (ULLONG_MAX when too large, 0 when no
// number). 0 read; kNumberTooLarge; kNoNumber.
int kxl_cnvSettingNumber(const std::string& iText, NumberBase iBase, unsigned long long& oValue);

// How the kernel takes the value of a "set" statement.
enum class KernelValue {
    Number,  // a number (oValue)
    Signed,  // "-n" or "~n": taken, but what it means depends on the variable's type
    Refused, // not a value to the kernel: the statement is ignored
};
KernelValue kxl_readKernelValue(const std::string& iText, unsigned long long& oValue);

// Whether iText is written in hexadecimal in iBase.
bool kxl_isHexText(const std::string& iText, NumberBase iBase);

// How iText writes its number in iBase: the 'x' or 'X' of a hexadecimal text, else 0.
char kxl_getHexMark(const std::string& iText, NumberBase iBase);

// iValue written as a text with iHexMark writes it: "0x" ("0X") and hexadecimal digits,
// or decimal digits when iHexMark is 0.
std::string kxl_fmtNumber(unsigned long long iValue, char iHexMark);

// A number of a parameter list row (checked to be digits when the row was loaded):
// 0 for an empty word, ULLONG_MAX when it does not fit.
unsigned long long kxl_cnvRowNumber(const std::string& iWord);

#endif
