// SharedText.h
// Layer 6 (the command's ground).
// Texts that many requirement records hold alike: a project, a privilege level, a
// criterion, a file. Each distinct text is kept once for the run and a record holds only
// its number, so that a list of 100,000 rows stays small.
#ifndef SHAREDTEXT_H
#define SHAREDTEXT_H

#include <cstdint>
#include <ostream>
#include <string>

class SharedText {
public:
    SharedText() = default; // the empty text
    SharedText(const std::string& iText);
    SharedText(const char* iText) : SharedText(std::string(iText)) {}
    operator const std::string&() const { return str(); }
    const std::string& str() const;
    const char* c_str() const { return str().c_str(); }
    bool empty() const { return mId == 0; }

private:
    uint32_t mId = 0;
};

inline bool operator==(const SharedText& iLeft, const std::string& iRight) { return iLeft.str() == iRight; }
inline bool operator==(const SharedText& iLeft, const char* iRight) { return iLeft.str() == iRight; }
inline bool operator!=(const SharedText& iLeft, const std::string& iRight) { return !(iLeft == iRight); }
inline bool operator!=(const SharedText& iLeft, const char* iRight) { return !(iLeft == iRight); }
inline std::ostream& operator<<(std::ostream& ioOut, const SharedText& iText) { return ioOut << iText.str(); }

#endif
