// Tests of the INI reader: section and key matching, the empty-value rule, first match,
// long lines and the failure codes with their trace lines.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "KxxComIniRead.h"

namespace {

using kxtest::TempDir;
using kxtest::TraceScope;

struct Lookup {
    int Result;
    std::string Value;
};

Lookup readIni(const std::string& iContent, const std::string& iSection, const std::string& iKey)
{
    TempDir aDir;
    kxtest::writeFile(aDir / "a.ini", iContent);
    Lookup aLookup = {0, "junk"};
    aLookup.Result = kxg_readIniString(iSection, iKey, aLookup.Value, aDir / "a.ini");
    return aLookup;
}

TEST(IniRead, SectionHeaders)
{
    struct Case {
        std::string Content;
        std::string Section;
        int Result;
        std::string Value;
    } aCases[] = {
        {"[CmdList] trailing text\nKey=v\n", "CmdList", 0, "v"},
        {"[cmdlist]\nKey=v\n", "CmdList", 0, "v"},
        {" \t[CmdList]\nKey=v\n", "CmdList", 0, "v"},
        {"[List10]\nKey=ten\n[List1]\nKey=one\n", "List1", 0, "one"},
        {"[List1]\nKey=one\n[List10]\nKey=ten\n", "List10", 0, "ten"},
        {"[List10]\nKey=ten\n", "List1", -9997, ""},
        {"[List1]\nKey=one\n", "List10", -9997, ""},
        {"x[CmdList]\nKey=v\n", "CmdList", -9997, ""},
        {"Key=outside\n[CmdList]\nKey=inside\n", "CmdList", 0, "inside"},
        {"[CmdList]\nOther=1\n[CmdList]\nKey=v\n", "CmdList", -9996, ""},
        {"[A]\nOther=1\n  [B]\nKey=v\n", "A", -9996, ""},
        {"", "A", -9997, ""},
    };
    for (const Case& aCase : aCases) {
        Lookup aLookup = readIni(aCase.Content, aCase.Section, "Key");
        EXPECT_EQ(aCase.Result, aLookup.Result) << aCase.Content;
        EXPECT_EQ(aCase.Value, aLookup.Value) << aCase.Content;
    }
}

TEST(IniRead, KeysAndValues)
{
    struct Case {
        std::string Lines;
        std::string Key;
        int Result;
        std::string Value;
    } aCases[] = {
        {" \tOpt \t=\t s \t\r\n", "Opt", 0, "s"},
        {"opt=MiXed Case\n", "OPT", 0, "MiXed Case"},
        {"Opt = a b \n", "Opt", 0, "a b"},
        {"DefaultFlg=\n", "DefaultFlg", 0, ""},
        {"  DefaultFlg=  \n", "DefaultFlg", 0, ""},
        {"DefaultFlg =\n", "DefaultFlg", -9996, ""},
        {"DefaultFlg =\nDefaultFlg=1\n", "DefaultFlg", 0, "1"},
        {"Key=first\nKey=second\n", "Key", 0, "first"},
        {"Key=Value=More\n", "Key", 0, "Value"},
        {"Key==b\n", "Key", -9996, ""},
        {"KeyX=1\nKe=2\nKey\n=3\n", "Key", -9996, ""},
        {";Key=1\n#Key=2\n\nKey=3", "Key", 0, "3"},
        {"Comment=検査する\n", "Comment", 0, "検査する"},
    };
    for (const Case& aCase : aCases) {
        Lookup aLookup = readIni("[S]\n" + aCase.Lines, "S", aCase.Key);
        EXPECT_EQ(aCase.Result, aLookup.Result) << aCase.Lines;
        EXPECT_EQ(aCase.Value, aLookup.Value) << aCase.Lines;
    }
}

// Lines are read 4095 bytes at a time: what follows is a line of its own.
TEST(IniRead, LongLineIsReadAsSeveralLines)
{
    struct Case {
        size_t Padding;
        int Result;
        std::string Value;
    } aCases[] = {{4095, 0, "v"}, {4095 * 2, 0, "v"}, {4094, -9996, ""}, {4096, -9996, ""}};
    for (const Case& aCase : aCases) {
        Lookup aLookup = readIni("[S]\n" + std::string(aCase.Padding, 'x') + "Key=v\n", "S", "Key");
        EXPECT_EQ(aCase.Result, aLookup.Result) << aCase.Padding;
        EXPECT_EQ(aCase.Value, aLookup.Value) << aCase.Padding;
    }
    std::string aLong(4095 - 4, 'y');
    EXPECT_EQ(aLong, readIni("[S]\nKey=" + aLong + "\n", "S", "Key").Value);
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

TEST(IniRead, SuccessWritesNoTrace)
{
    TraceScope aTrace;
    std::string aPath = aTrace.toolDir() + "/a.ini";
    kxtest::writeFile(aPath, "[S]\nKey=v\n");
    std::string aValue;
    EXPECT_EQ(0, kxg_readIniString("S", "Key", aValue, aPath));
    EXPECT_FALSE(kxtest::exists(aTrace.tracePath()));
}

} // namespace
