// KxxComString.cpp
#include "KxxComString.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

// The extra bytes a caller allocates beyond the line's own characters: room for the
// line feed and the terminator, with margin.
const long kRowLenExtra = 5;
// Lines are read in chunks of this size; a line longer than kRowMax is refused.
const size_t kRowChunk = 65536;
const size_t kRowMax = 256UL * 1024 * 1024;

// Bytes of the EUC-JP character that begins with iLead: two for a JIS X 0208 character
// or a half-width katakana (0x8E), three for JIS X 0212 (0x8F), else one.
size_t kxl_eucCharLen(unsigned char iLead)
{
    if (iLead == 0x8F) {
        return 3;
    }
    return iLead == 0x8E || (iLead >= 0xA1 && iLead <= 0xFE) ? 2 : 1;
}

bool kxl_isBlank(char iChar)
{
    return iChar == ' ' || iChar == '\t' || iChar == '\r' || iChar == '\n';
}

// A C0 control character or DEL; never a byte of an EUC-JP character.
bool kxl_isControl(char iChar)
{
    unsigned char aByte = static_cast<unsigned char>(iChar);
    return aByte < 0x20 || aByte == 0x7F;
}

// Appends control character iChar as it is written visibly.
void kxl_addVisible(char iChar, std::string& ioBuff)
{
    switch (iChar) {
    case '\n':
        ioBuff += "\\n";
        break;
    case '\r':
        ioBuff += "\\r";
        break;
    case '\t':
        ioBuff += "\\t";
        break;
    default:
        char aHex[8];
        snprintf(aHex, sizeof aHex, "\\x%02x", static_cast<unsigned char>(iChar));
        ioBuff += aHex;
        break;
    }
}

bool kxl_isWordSep(char iChar)
{
    return iChar == ' ' || iChar == '\t';
}

bool kxl_isDigit(char iChar)
{
    return iChar >= '0' && iChar <= '9';
}

bool kxl_isHexDigit(char iChar)
{
    return kxl_isDigit(iChar) || (iChar >= 'a' && iChar <= 'f') || (iChar >= 'A' && iChar <= 'F');
}

// Replaces every backslash followed by iLetter with iCtl.
void kxl_chgEscape(std::string& ioString, char iLetter, char iCtl)
{
    size_t aOut = 0;
    for (size_t aIn = 0; aIn < ioString.size(); aIn++) {
        if (ioString[aIn] == '\\' && aIn + 1 < ioString.size() && ioString[aIn + 1] == iLetter) {
            ioString[aOut++] = iCtl;
            aIn++;
        } else {
            ioString[aOut++] = ioString[aIn];
        }
    }
    ioString.resize(aOut);
}

// A run of backslashes becomes one backslash, as replacing a doubled one until none is
// left makes it.
void kxl_joinBackslashes(std::string& ioString)
{
    size_t aOut = 0;
    bool aAfterBackslash = false;
    for (char aChar : ioString) {
        bool aBackslash = aChar == '\\';
        if (!(aBackslash && aAfterBackslash)) {
            ioString[aOut++] = aChar;
        }
        aAfterBackslash = aBackslash;
    }
    ioString.resize(aOut);
}

// Makes room at once for a line longer than a chunk: as much as the file has left, at
// most the longest line read. Grown step by step, a huge line would be held about twice.
void kxl_reserveLongLine(FILE* iFile, std::string& ioLine)
{
    struct stat aStat;
    off_t aAt = ftello(iFile);
    if (fstat(fileno(iFile), &aStat) == 0 && S_ISREG(aStat.st_mode) && aAt >= 0 &&
        aStat.st_size > aAt) {
        size_t aLeft = static_cast<size_t>(aStat.st_size - aAt) + kRowChunk + 1;
        ioLine.reserve(std::min(aLeft, kRowMax + kRowChunk + 1));
    }
}

} // namespace

long kxg_cntFileRowLen(FILE* iFile)
{
    long aStart = ftell(iFile);
    long aCount = 0;
    int aChar;
    while ((aChar = getc(iFile)) != EOF && aChar != '\n') {
        aCount++;
    }
    if (aChar == EOF && aCount == 0) {
        return -1;
    }
    fseek(iFile, aStart, SEEK_SET);
    return aCount + kRowLenExtra;
}

int kxg_readFileRow(FILE* iFile, std::string& oLine)
{
    oLine.clear();
    char aChunk[kRowChunk];
    size_t aFill = 0;
    int aChar = EOF;
    try {
        while ((aChar = getc_unlocked(iFile)) != EOF) {
            aChunk[aFill++] = static_cast<char>(aChar);
            if (aChar == '\n') {
                break;
            }
            if (aFill == sizeof aChunk) {
                if (oLine.empty()) {
                    kxl_reserveLongLine(iFile, oLine);
                }
                oLine.append(aChunk, aFill);
                aFill = 0;
                // No line of a file the family reads is that long: such a line is refused
                // as unreadable rather than read on until memory runs out.
                if (oLine.size() > kRowMax) {
                    return -9998;
                }
            }
        }
        oLine.append(aChunk, aFill);
    } catch (const std::bad_alloc&) {
        return -9993;
    }
    // A read error must not pass for the end of the file: a broken disk would read as an
    // empty file.
    if (aChar == EOF && ferror(iFile) != 0) {
        return -9998;
    }
    if (oLine.empty()) {
        return -1;
    }
    // The line is a text: what follows a zero byte is not part of it.
    oLine.resize(strlen(oLine.c_str()));
    return 0;
}

size_t kxg_cntEucChar(const char* iText, size_t iLen)
{
    size_t aWant = std::min(kxl_eucCharLen(static_cast<unsigned char>(iText[0])), iLen);
    size_t aLen = 1;
    while (aLen < aWant && static_cast<unsigned char>(iText[aLen]) >= 0x80) {
        aLen++;
    }
    return aLen;
}

size_t kxg_cntEucText(const char* iText, size_t iLen, size_t iMax)
{
    if (iLen <= iMax) {
        return iLen;
    }
    size_t aEnd = 0;
    while (aEnd < iMax) {
        size_t aLen = kxl_eucCharLen(static_cast<unsigned char>(iText[aEnd]));
        if (aEnd + aLen > iMax) {
            break;
        }
        aEnd += aLen;
    }
    return aEnd;
}

void kxg_cutEucText(std::string& ioText, size_t iMax)
{
    ioText.resize(kxg_cntEucText(ioText.data(), ioText.size(), iMax));
}

size_t kxg_vfmtEucText(char* oBuff, size_t iSize, const char* iFormat, va_list iArgs)
{
    // One byte more than the text may keep is formatted: without it a character split by
    // the buffer's end could not be told from a whole one.
    size_t aMax = iSize - 2;
    int aLen = vsnprintf(oBuff, iSize, iFormat, iArgs);
    size_t aSize = aLen < 0 ? 0 : kxg_cntEucText(oBuff, strnlen(oBuff, iSize), aMax);
    oBuff[aSize] = '\0';
    return aSize;
}

const char* kxg_cnvCtlVisible(const char* iText, size_t& ioLen, std::string& oBuff)
{
    const char* aEnd = iText + ioLen;
    const char* aCtl = std::find_if(iText, aEnd, kxl_isControl);
    if (aCtl == aEnd) {
        return iText;
    }
    oBuff.assign(iText, aCtl);
    for (const char* aChar = aCtl; aChar < aEnd; aChar++) {
        if (kxl_isControl(*aChar)) {
            kxl_addVisible(*aChar, oBuff);
        } else {
            oBuff += *aChar;
        }
    }
    ioLen = oBuff.size();
    return oBuff.data();
}

void kxg_cutWord(const std::string& iString, char iSep, uint32_t& ioPos, std::string& oWord)
{
    oWord.clear();
    if (ioPos >= iString.size()) {
        return;
    }
    size_t aEnd = iString.find(iSep, ioPos);
    if (aEnd == std::string::npos) {
        aEnd = iString.size();
    }
    oWord.assign(iString, ioPos, aEnd - ioPos);
    ioPos = static_cast<uint32_t>(aEnd);
    if (ioPos < iString.size()) {
        ioPos++;
    }
}

void kxg_cutBlTbWord(const std::string& iString, uint32_t& ioPos, std::string& oWord)
{
    oWord.clear();
    if (ioPos >= iString.size()) {
        return;
    }
    while (ioPos < iString.size() && kxl_isWordSep(iString[ioPos])) {
        ioPos++;
    }
    while (ioPos < iString.size() && !kxl_isWordSep(iString[ioPos])) {
        oWord += iString[ioPos++];
    }
    if (ioPos < iString.size()) {
        ioPos++;
    }
}

int kxg_chgStrCnv(std::string& ioString, const std::string& iFind, const std::string& iReplace)
{
    if (iFind.empty()) {
        return 14;
    }
    size_t aPos = ioString.find(iFind);
    if (aPos == std::string::npos) {
        return 14;
    }
    ioString.replace(aPos, iFind.size(), iReplace);
    return 0;
}

void kxg_chgCRTAB(std::string& ioString)
{
    // The order matters: each sequence is replaced everywhere before the next is looked
    // at, so a doubled backslash before an n still ends as a backslash and a line feed.
    // No replacement can form a new sequence of its own kind, so one pass each is as good
    // as replacing again and again from the start, and the work stays linear.
    static const struct {
        char Letter;
        char Ctl;
    } sEscapes[] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'},
                    {'t', '\t'}, {'v', '\v'}, {'\\', '\\'}, {'\'', '\''}, {'"', '"'}};
    for (const auto& aEscape : sEscapes) {
        if (aEscape.Letter == '\\') {
            kxl_joinBackslashes(ioString);
        } else {
            kxl_chgEscape(ioString, aEscape.Letter, aEscape.Ctl);
        }
    }
}

std::string& kxg_trimLeft(std::string& ioString)
{
    size_t aCount = 0;
    while (aCount < ioString.size() && kxl_isBlank(ioString[aCount])) {
        aCount++;
    }
    ioString.erase(0, aCount);
    return ioString;
}

std::string& kxg_trimRight(std::string& ioString)
{
    size_t aLen = ioString.size();
    while (aLen > 1 && kxl_isBlank(ioString[aLen - 1])) {
        aLen--;
    }
    ioString.resize(aLen);
    return ioString;
}

char kxg_toUpperChar(char iChar)
{
    return iChar >= 'a' && iChar <= 'z' ? static_cast<char>(iChar - 'a' + 'A') : iChar;
}

void kxg_toUpper(std::string& ioString)
{
    for (char& aChar : ioString) {
        aChar = kxg_toUpperChar(aChar);
    }
}

int kxg_chkStrisDigit(const std::string& iString)
{
    for (char aChar : iString) {
        if (!kxl_isDigit(aChar)) {
            return 0;
        }
    }
    return 1;
}

int kxg_chkStrisDigitX(const std::string& iString)
{
    for (char aChar : iString) {
        if (!kxl_isHexDigit(aChar)) {
            return 0;
        }
    }
    return 1;
}

int kxg_getMidStr(const std::string& iString, char iOpen, char iClose, std::string& oMid)
{
    size_t aOpen = iString.find(iOpen);
    if (aOpen == std::string::npos) {
        return -9985;
    }
    size_t aClose = iString.find(iClose, aOpen + 1);
    if (aClose == std::string::npos) {
        oMid = iString.substr(aOpen + 1);
        return -9984;
    }
    oMid = iString.substr(aOpen + 1, aClose - aOpen - 1);
    return 0;
}

int kxg_getMidStrEx(const std::string& iString, const std::string& iOpen,
                    const std::string& iClose, std::string& oMid)
{
    oMid.clear();
    size_t aOpen = iString.find(iOpen);
    if (aOpen == std::string::npos) {
        return -9985;
    }
    oMid = iString.substr(aOpen + iOpen.size());
    size_t aClose = oMid.find(iClose);
    if (aClose == std::string::npos) {
        return -9984;
    }
    oMid.resize(aClose);
    return 0;
}
