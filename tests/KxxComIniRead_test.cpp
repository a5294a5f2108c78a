// Tests of the INI reader: section and key matching, the empty-value rule, first match,
// long lines and the failure codes with their trace lines.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "KxxComIniRead.h"

namespace {

using kxtest::TempDir;
using kxtest::TraceScope;

// One lookup in a file of the given content; the value is pre-filled to show that a
// failure empties it.
struct Lookup {
    std::string Content;
    std::string Section;
    std::string Key;
    int Result;
    std::string Value;
};

void checkLookups(const std::vector<Lookup>& iCases)
{
    for (const Lookup& aCase : iCases) {
        TempDir aDir;
        kxtest::writeFile(aDir / "a.ini", aCase.Content);
        std::string aValue = "junk";
        EXPECT_EQ(aCase.Result, kxg_readIniString(aCase.Section, aCase.Key, aValue, aDir / "a.ini"))
            << aCase.Content.substr(0, 80);
        EXPECT_EQ(aCase.Value, aValue) << aCase.Content.substr(0, 80);
    }
}

TEST(IniRead, SectionHeaders)
{
    checkLookups({
        {"[CmdList] trailing text\nKey=v\n", "CmdList", "Key", 0, "v"},
        {"[cmdlist]\nKey=v\n", "CmdList", "Key", 0, "v"},
        {" \t[CmdList]\nKey=v\n", "CmdList", "Key", 0, "v"},
        {"[List10]\nKey=ten\n[List1]\nKey=one\n", "List1", "Key", 0, "one"},
        {"[List1]\nKey=one\n[List10]\nKey=ten\n", "List10", "Key", 0, "ten"},
        {"[List10]\nKey=ten\n", "List1", "Key", -9997, ""},
        {"[List1]\nKey=one\n", "List10", "Key", -9997, ""},
        {"x[CmdList]\nKey=v\n", "CmdList", "Key", -9997, ""},
        {"Key=outside\n[CmdList]\nKey=inside\n", "CmdList", "Key", 0, "inside"},
        {"[CmdList]\nOther=1\n[CmdList]\nKey=v\n", "CmdList", "Key", -9996, ""},
        {"[A]\nOther=1\n  [B]\nKey=v\n", "A", "Key", -9996, ""},
        {"", "A", "Key", -9997, ""},
    });
}

TEST(IniRead, KeysAndValues)
{
    checkLookups({
        {"[S]\n \tOpt \t=\t s \t\r\n", "S", "Opt", 0, "s"},
        {"[S]\nopt=MiXed Case\n", "S", "OPT", 0, "MiXed Case"},
        {"[S]\nOpt = a b \n", "S", "Opt", 0, "a b"},
        {"[S]\nDefaultFlg=\n", "S", "DefaultFlg", 0, ""},
        {"[S]\n  DefaultFlg=  \n", "S", "DefaultFlg", 0, ""},
        {"[S]\nDefaultFlg =\n", "S", "DefaultFlg", -9996, ""},
        {"[S]\nDefaultFlg =\nDefaultFlg=1\n", "S", "DefaultFlg", 0, "1"},
        {"[S]\nKey=first\nKey=second\n", "S", "Key", 0, "first"},
        {"[S]\nKey=Value=More\n", "S", "Key", 0, "Value"},
        {"[S]\nKey==b\n", "S", "Key", -9996, ""},
        {"[S]\nKeyX=1\nKe=2\nKey\n=3\n", "S", "Key", -9996, ""},
        {"[S]\n;Key=1\n#Key=2\n\nKey=3", "S", "Key", 0, "3"},
        {"[S]\nComment=検査する\n", "S", "Comment", 0, "検査する"},
    });
}

// A line is read whole, however long: no part of it is a line of its own.
TEST(IniRead, LongLineIsOneLine)
{
    auto aPadded = [](size_t iPad) { return "[S]\n" + std::string(iPad, 'x') + "Key=v\n"; };
    std::string aLong(4095 - 4, 'y');
    checkLookups({
        {aPadded(4095), "S", "Key", -9996, ""},
        {aPadded(4095 * 2), "S", "Key", -9996, ""},
        {aPadded(4094), "S", "Key", -9996, ""},
        {aPadded(4096), "S", "Key", -9996, ""},
        {"[S]\nKey=" + aLong + "\n", "S", "Key", 0, aLong},
    });
}

TEST(IniRead, FailuresAndTheirTraceLines)
{
    struct Case {
        const char* Content;
        int Result;
        std::string Trace;
    } aCases[] = {
        {nullptr, -9998, "ファイルオープンエラー"},
        {"[T]\nKey=v\n", -9997, "セクション名が存在していなかったエラー"},
        {"[S]\nOther=v\n[T]\nKey=v\n", -9996, "セクションはあったがキーはないエラー"},
        {"[S]\nOther=v\n", -9996, "キー名が存在していなかったエラー"},
    };
    for (const Case& aCase : aCases) {
        TraceScope aTrace;
        std::string aPath = aTrace.toolDir() + "/a.ini";
        if (aCase.Content != nullptr) {
            kxtest::writeFile(aPath, aCase.Content);
        }
        std::string aValue = "kept";
        EXPECT_EQ(aCase.Result, kxg_readIniString("S", "Key", aValue, aPath));
        EXPECT_EQ(aCase.Content == nullptr ? "kept" : "", aValue) << aCase.Result;
        EXPECT_EQ(std::vector<std::string>{"[stamp] kxsyfchk:kxg_readIniString " + aCase.Trace},
                  aTrace.lines());
    }
}

} // namespace
