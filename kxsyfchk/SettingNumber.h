// SettingNumber.h
// Layer 6 (the command's ground).
// The one reader of the numbers the check works with: the settings of /etc/system and
// /etc/project, the values sysdef and prtconf print, the resource-distribution service's
// settings and the numbers of the parameter list rows.
#ifndef SETTINGNUMBER_H
#define SETTINGNUMBER_H

#include <string>

// How a text writes its number.
enum class NumberBase {
    Kernel,  // as the kernel reads /etc/system: "0x" hexadecimal, a leading 0 octal, else decimal
    Decimal, // decimal digits only: /etc/project, prtconf, the service's settings, the rows
    Sysdef,  // "0x" or "0X" and hexadecimal digits, or decimal digits, as sysdef prints them
};

// Results of kxl_cnvSettingNumber besides 0 (read).
const int kNumberTooLarge = 1; // digits of the base, but beyond 64 bits
const int kNoNumber = -1;      // empty, a prefix without digits, a character of no digit

// Reads the whole of iText as a number of iBase into oValue (ULLONG_MAX when too large,
// 0 when no number).
// 0 read; kNumberTooLarge; kNoNumber.
int kxl_cnvSettingNumber(const std::string& iText, NumberBase iBase, unsigned long long& oValue);

// Whether iText is written in hexadecimal in iBase ("0x" or "0X" first; never in Decimal).
bool kxl_isHexText(const std::string& iText, NumberBase iBase);

// A number of a parameter list row (checked to be digits when the row was loaded):
// 0 for an empty word, ULLONG_MAX when it does not fit.
unsigned long long kxl_cnvRowNumber(const std::string& iWord);

#endif
