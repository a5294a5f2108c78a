// KxxComIniRead.cpp
#include "KxxComIniRead.h"

#include <cstdio>

#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"

namespace {

// Lines are read through a buffer of this size: a longer line is taken as several lines.
const int kIniLineBuffer = 4096;

// The result while the key search is still going on.
const int kNotDecided = 1;

bool kxl_readLine(FILE* iFile, std::string& oLine)
{
    char aBuff[kIniLineBuffer];
    if (fgets(aBuff, sizeof aBuff, iFile) == nullptr) {
        return false;
    }
    oLine = aBuff;
    return true;
}

// Reads up to the line that opens the section; false at end of file.
bool kxl_seekSection(FILE* iFile, const std::string& iSection)
{
    std::string aHeader = "[" + iSection + "]";
    std::string aLine;
    while (kxl_readLine(iFile, aLine)) {
        kxg_trimLeft(aLine);
        if (kxg_cmpStrni(aLine.c_str(), aHeader.c_str(), aHeader.size()) == 0) {
            return true;
        }
    }
    return false;
}

// Whether the trimmed line aLine gives the key iKey, and its value.
bool kxl_matchKey(const std::string& iLine, const std::string& iKey, std::string& oValue)
{
    char aKey[kIniLineBuffer];
    char aValue[kIniLineBuffer];
    int aFields = sscanf(iLine.c_str(), " %4095[^\r\n=] = %4095[^\r\n=]", aKey, aValue);
    if (aFields < 1) {
        return false;
    }
    std::string aName = aKey;
    kxg_trimLeft(aName);
    kxg_trimRight(aName);
    if (kxg_cmpStri(aName.c_str(), iKey.c_str()) != 0) {
        return false;
    }
    if (aFields == 2) {
        oValue = aValue;
        kxg_trimLeft(oValue);
        kxg_trimRight(oValue);
        return true;
    }
    // An empty value counts only in the exact form "Key=".
    if (iLine.size() == aName.size() + 1 && iLine.back() == '=') {
        oValue.clear();
        return true;
    }
    return false;
}

// Searches the section's lines for the key. 0 found; -9996 the next section came first;
// kNotDecided at end of file.
int kxl_seekKey(FILE* iFile, const std::string& iKey, std::string& oValue)
{
    std::string aLine;
    while (kxl_readLine(iFile, aLine)) {
        kxg_trimLeft(aLine);
        kxg_trimRight(aLine);
        if (!aLine.empty() && aLine[0] == '[') {
            kxg_outWriteTracelog("kxg_readIniString", "セクションはあったがキーはないエラー");
            return -9996;
        }
        if (kxl_matchKey(aLine, iKey, oValue)) {
            return 0;
        }
    }
    return kNotDecided;
}

} // namespace

int kxg_readIniString(const std::string& iSection, const std::string& iKey,
                      std::string& oValue, const std::string& iPath)
{
    const char* aFunc = "kxg_readIniString";
    FilePtr aFile = kxg_openInput(iPath);
    if (!aFile) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    oValue.clear();
    if (!kxl_seekSection(aFile.get(), iSection)) {
        kxg_outWriteTracelog(aFunc, "セクション名が存在していなかったエラー");
        return -9997;
    }
    int aResult = kxl_seekKey(aFile.get(), iKey, oValue);
    if (aResult == kNotDecided) {
        kxg_outWriteTracelog(aFunc, "キー名が存在していなかったエラー");
        aResult = -9996;
    }
    return aResult;
}
