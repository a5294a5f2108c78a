// KxxComTolvInfo.cpp
#include "KxxComTolvInfo.h"

#include "KxxComFile.h"
#include "KxxComOutTrace.h"
#include "KxxComStrCmp.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

const char* const kTolvFile = "/opt/ZVNQkxsdl/etc/tolvrc";

// Name and value of a setting line "name = value" (the value ends at a second "=");
// false when the line is not one.
bool kxl_splitSetting(const std::string& iLine, std::string& oName, std::string& oValue)
{
    size_t aEqual = iLine.find('=');
    if (aEqual == 0 || aEqual == std::string::npos) {
        return false;
    }
    size_t aEnd = iLine.find_first_of("\r\n=", aEqual + 1);
    oName = iLine.substr(0, aEqual);
    oValue = iLine.substr(aEqual + 1, aEnd == std::string::npos ? aEnd : aEnd - aEqual - 1);
    kxg_trimRight(kxg_trimLeft(oName));
    kxg_trimRight(kxg_trimLeft(oValue));
    return !oValue.empty();
}

// Whether the line sets iKey; its value goes to oValue.
bool kxl_matchSetting(std::string& ioLine, const char* iKey, std::string& oValue)
{
    kxg_trimRight(kxg_trimLeft(ioLine));
    if (ioLine.empty() || ioLine[0] == '#') {
        return false;
    }
    std::string aName, aValue;
    if (!kxl_splitSetting(ioLine, aName, aValue) || kxg_cmpStri(aName.c_str(), iKey) != 0) {
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
    std::string aLine;
    int aRead;
    while ((aRead = kxg_readFileRow(aFile.get(), aLine)) == 0) {
        if (kxl_matchSetting(aLine, iKey, oValue)) {
            return 0;
        }
    }
    if (aRead != -1) {
        kxg_outWriteTracelogEx(aFunc, "ファイル読み込みエラー[%s]", aPath.c_str());
        return -9995;
    }
    return -9983;
}
