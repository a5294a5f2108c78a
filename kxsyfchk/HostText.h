// HostText.h
// Layer 6 (the command's ground).
// The texts of the host's settings files: their lines walked one by one and looked at in
// place, so that even a huge line is held once; pieces of them cut for a record or a
// trace line.
#ifndef HOSTTEXT_H
#define HOSTTEXT_H

#include <cstdio>
#include <string>
#include <string_view>

#include "KxxComString.h"

// A part of a line.
using Text = std::string_view;

// Calls iVisit with each non-empty line of iFile, trimmed. 0; -9993 no memory for a
// line; -9998 the file cannot be read.
template <typename Visit>
int kxl_walkLines(FILE* iFile, Visit iVisit)
{
    std::string aLine;
    int aRead;
    while ((aRead = kxg_readFileRow(iFile, aLine)) == 0) {
        kxg_trimLeft(aLine);
        kxg_trimRight(aLine);
        if (!aLine.empty()) {
            iVisit(aLine);
        }
    }
    return aRead == -1 ? 0 : aRead;
}

// iText without blanks, tabs, CRs and LFs at either end.
Text kxl_trimView(Text iText);

// The beginning of iText as a field of at most iMax bytes, cut at a character.
std::string kxl_cutField(Text iText, size_t iMax);

// Writes a trace line of iFormat with one "%.*s" for iText; no more of a huge text is
// looked at than a trace line can hold.
void kxl_traceText(const char* iFunc, const char* iFormat, Text iText);

#endif
