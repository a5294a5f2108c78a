// KxxComIniRead.cpp
#include "KxxComIniRead.h"

#include <cstdio>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComStrCmp.h"
#include "KxxComString.h"

namespace {

// A key or a value is read up to one byte less than this; the rest of a longer one is
// dropped.
const int kIniFieldBuffer = 4096;

// The result while the key search is still going on.
const int kNotDecided = 1;

// The lines of one INI file, each read whole, kept while the file
// stays the same one with the same size and time: every lookup of a run sees the current
// contents, but the file is read once however many values are asked for.
struct IniFile {
    dev_t Dev = 0;
    ino_t Ino = 0;
    off_t Size = 0;
    struct timespec MTime = {};
    std::vector<std::string> Lines;
};
std::unordered_map<std::string, IniFile> sIniFiles;

bool kxl_isSameFile(const IniFile& iFile, const struct stat& iStat)
{
    return iFile.Dev == iStat.st_dev && iFile.Ino == iStat.st_ino && iFile.Size == iStat.st_size &&
           iFile.MTime.tv_sec == iStat.st_mtim.tv_sec &&
           iFile.MTime.tv_nsec == iStat.st_mtim.tv_nsec;
}

// The lines of the file at iPath; null when it cannot be opened (or is no regular file)
// or a line of it cannot be read.
const std::vector<std::string>* kxl_getIniLines(const std::string& iPath)
{
    struct stat aStat;
    auto aCached = sIniFiles.find(iPath);
    if (aCached != sIniFiles.end() && stat(iPath.c_str(), &aStat) == 0 &&
        kxl_isSameFile(aCached->second, aStat)) {
        return &aCached->second.Lines;
    }
    FilePtr aStream = kxg_openInput(iPath);
    if (!aStream || fstat(fileno(aStream.get()), &aStat) != 0) {
        sIniFiles.erase(iPath);
        return nullptr;
    }
    IniFile aFile{aStat.st_dev, aStat.st_ino, aStat.st_size, aStat.st_mtim, {}};
    std::string aLine;
    int aRead;
    while ((aRead = kxg_readFileRow(aStream.get(), aLine)) == 0) {
        aFile.Lines.push_back(aLine);
    }
    if (aRead != -1) {
        kxg_outWriteTracelog("kxg_readIniString", "ファイル読み込みエラー");
        sIniFiles.erase(iPath);
        return nullptr;
    }
    return &(sIniFiles[iPath] = std::move(aFile)).Lines;
}

// The index of the line that opens the section, or iLines.size() when there is none.
size_t kxl_seekSection(const std::vector<std::string>& iLines, const std::string& iSection)
{
    std::string aHeader = "[" + iSection + "]";
    for (size_t i = 0; i < iLines.size(); i++) {
        std::string aLine = iLines[i];
        kxg_trimLeft(aLine);
        if (kxg_cmpStrni(aLine.c_str(), aHeader.c_str(), aHeader.size()) == 0) {
            return i;
        }
    }
    return iLines.size();
}

// Whether the trimmed line aLine gives the key iKey, and its value.
bool kxl_matchKey(const std::string& iLine, const std::string& iKey, std::string& oValue)
{
    char aKey[kIniFieldBuffer];
    char aValue[kIniFieldBuffer];
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

// Searches the section's lines, from iFrom on, for the key. 0 found; -9996 the next
// section came first; kNotDecided at end of file.
int kxl_seekKey(const std::vector<std::string>& iLines, size_t iFrom, const std::string& iKey,
                std::string& oValue)
{
    for (size_t i = iFrom; i < iLines.size(); i++) {
        std::string aLine = iLines[i];
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
    const std::vector<std::string>* aLines = kxl_getIniLines(iPath);
    if (aLines == nullptr) {
        kxg_outWriteTracelog(aFunc, "ファイルオープンエラー");
        return -9998;
    }
    oValue.clear();
    size_t aSection = kxl_seekSection(*aLines, iSection);
    if (aSection == aLines->size()) {
        kxg_outWriteTracelog(aFunc, "セクション名が存在していなかったエラー");
        return -9997;
    }
    int aResult = kxl_seekKey(*aLines, aSection + 1, iKey, oValue);
    if (aResult == kNotDecided) {
        kxg_outWriteTracelog(aFunc, "キー名が存在していなかったエラー");
        aResult = -9996;
    }
    return aResult;
}
