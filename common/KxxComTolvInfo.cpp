// KxxComTolvInfo.cpp
#include "KxxComTolvInfo.h"

#include <cstdio>

#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComStrCmp.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

const char* const kTolvFile = "/opt/ZVNQkxsdl/etc/tolvrc";
// Lines are read in pieces of this size (terminator included); a longer line yields
// several pieces, each taken as a line of its own.
const int kTolvLineMax = 4096;

// Name and value of a setting line; false when the piece is not one. Both fit in a
// piece's size, so the widths below never cut anything.
bool kxl_splitSetting(const std::string& iLine, std::string& oName, std::string& oValue)
{
    char aName[kTolvLineMax];
    char aValue[kTolvLineMax];
    if (sscanf(iLine.c_str(), " %4095[^\r\n=] = %4095[^\r\n=]", aName, aValue) != 2) {
        return false;
    }
    oName = aName;
    oValue = aValue;
    kxg_trimRight(kxg_trimLeft(oName));
    kxg_trimRight(kxg_trimLeft(oValue));
    return true;
}

// Whether the piece sets iKey; its value goes to oValue.
bool kxl_matchSetting(const char* iPiece, const char* iKey, std::string& oValue)
{
    std::string aLine = iPiece;
    kxg_trimRight(kxg_trimLeft(aLine));
    if (aLine.empty() || aLine[0] == '#') {
        return false;
    }
    std::string aName, aValue;
    if (!kxl_splitSetting(aLine, aName, aValue) || kxg_cmpStri(aName.c_str(), iKey) != 0) {
        return false;
    }
    oValue = aValue;
    return true;
}

} // namespace

int kxg_chkTolvFileValue(const char* iKey, std::string& oValue)
{
    const char* aFunc = "kxg_chkTolvFileValue";
    std::string aPath = kxg_getHostPath(kTolvFile);
    FilePtr aFile = kxg_openInput(aPath);
    if (!aFile) {
        kxg_outWriteTracelogEx(aFunc, "ファイルなし(クラスタ環境待機系と見なす)[%s]",
                               aPath.c_str());
        return -9998;
    }
    oValue.clear();
    char aPiece[kTolvLineMax];
    while (fgets(aPiece, sizeof aPiece, aFile.get()) != nullptr) {
        if (kxl_matchSetting(aPiece, iKey, oValue)) {
            return 0;
        }
    }
    return -9983;
}
