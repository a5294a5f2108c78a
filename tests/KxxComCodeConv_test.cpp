// Tests of the output code conversion: the choice of code sets from the locale and the
// managing product, the conversions themselves and the trace of the opening.
#include <gtest/gtest.h>

#include <algorithm>

#include "KxTestSupport.h"
#include "KxxComCodeConv.h"
#include "KxxComOutText.h"
#include "KxxComOutTrace.h"
#include "KxxComTraceStart.h"

namespace {

using kxtest::PlainHost;
using kxtest::sameBytes;
using kxtest::TraceScope;

using OptText = std::optional<std::string>;

// "日本語" in the code sets of the output.
const std::string kEucText = "\xc6\xfc\xcb\xdc\xb8\xec";
const std::string kSjisText = "\x93\xfa\x96\x7b\x8c\xea";
const std::string kUtf8Text = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";

TEST(CodeConv, LocaleCodeSetFromTheFirstVariableSet)
{
    struct Case {
        OptText Vars[3]; // LC_ALL, LC_MESSAGES, LANG
        std::string Traced;
        std::string Set;
        int Converted;
    } aCases[] = {
        {{{}, {}, {}}, "env Nothing", "set EUC", 0},
        {{{}, {}, "ja_JP.UTF-8"}, "ja_JP.UTF-8", "set UTF-8", 1},
        {{"C", {}, "ja_JP.PCK"}, "C", "set EUC", 0},
        {{"", {}, "ja_JP.UTF-8"}, "", "set EUC", 0},
        {{{}, "ja_JP.PCK", "ja_JP.UTF-8"}, "ja_JP.PCK", "set SJIS", 1},
        {{"ja_JP.PCK@ja_JP.UTF-8", {}, {}}, "ja_JP.PCK@ja_JP.UTF-8", "set SJIS", 1},
        {{"ja_JP.utf8", {}, {}}, "ja_JP.utf8", "set EUC", 0},
        {{"ja_JP.eucJP", {}, {}}, "ja_JP.eucJP", "set EUC", 0},
    };
    const char* const aNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const Case& aCase : aCases) {
        PlainHost aHost;
        std::vector<std::string> aExpected;
        for (int i = 0; i < 3; i++) {
            aHost.env().put(aNames[i], aCase.Vars[i]);
        }
        for (int i = 0; i < 3 && (i == 0 || !aCase.Vars[i - 1]); i++) {
            aExpected.push_back(std::string("[") + aNames[i] + "]");
        }
        aExpected.push_back(aCase.Traced);
        aExpected.push_back(aCase.Set);
        TraceScope aTrace;
        kxg_opnIcov();
        std::vector<std::string> aMessages = aTrace.messages();
        aMessages.resize(aExpected.size());
        EXPECT_EQ(aExpected, aMessages) << aCase.Traced;
        EXPECT_EQ(aCase.Converted, kxg_chkIcov(1)) << aCase.Traced;
        // Without the managing product the files follow the locale.
        EXPECT_EQ(aCase.Converted, kxg_chkIcov(0)) << aCase.Traced;
    }
}

TEST(CodeConv, ProductCodeSetChoosesTheFiles)
{
    struct Case {
        OptText Lang;
        std::string Code;
        std::string File;
        std::string Console;
    } aCases[] = {
        {"ja_JP.UTF-8", "ASCII", kEucText, kUtf8Text},
        {"ja_JP.UTF-8", "EUC", kEucText, kUtf8Text},
        {{}, "SJIS", kSjisText, kEucText},
        {"ja_JP.PCK", "UTF-8", kUtf8Text, kSjisText},
    };
    for (const Case& aCase : aCases) {
        PlainHost aHost;
        aHost.env().put("LANG", aCase.Lang);
        aHost.productCode(aCase.Code);
        kxg_opnIcov();
        for (int aSelector : {0, 1}) {
            std::string aOut = kEucText;
            if (kxg_chkIcov(aSelector) == 1) {
                EXPECT_EQ(0, kxg_chgIcov(kEucText.c_str(), aOut, aSelector));
            }
            EXPECT_TRUE(sameBytes(aSelector == 0 ? aCase.File : aCase.Console, aOut))
                << aCase.Code << " selector " << aSelector;
        }
    }
}

TEST(CodeConv, OpeningTraceInOrder)
{
    PlainHost aHost;
    aHost.env().set("LANG", "ja_JP.UTF-8");
    aHost.productCode("SJIS");
    TraceScope aTrace;
    kxg_opnIcov();
    std::vector<std::string> aExpected;
    for (const char* aMessage : {"[LC_ALL]", "[LC_MESSAGES]", "[LANG]", "ja_JP.UTF-8", "set UTF-8",
                                 "CODE[SJIS]", "CODELC[UTF-8]"}) {
        aExpected.push_back(std::string("[stamp] kxsyfchk:kxg_opnIcov ") + aMessage);
    }
    EXPECT_EQ(aExpected, aTrace.lines());
    // From here on the messages of trace lines are converted, their heads are not.
    kxg_outWriteTracelog("kxl_step", kEucText.c_str());
    EXPECT_TRUE(sameBytes("[stamp] kxsyfchk:kxl_step " + kSjisText, aTrace.lines().back()));
}

TEST(CodeConv, UnknownCodeSetIsWrittenUnconverted)
{
    for (const char* aCode : {"NO-SUCH-CODESET", ""}) {
        PlainHost aHost;
        aHost.env().set("LANG", "ja_JP.UTF-8");
        aHost.productCode(aCode);
        TraceScope aTrace;
        kxg_opnIcov();
        EXPECT_EQ(0, kxg_chkIcov(0)) << aCode;
        EXPECT_EQ(1, kxg_chkIcov(1)) << aCode;
        std::vector<std::string> aLines = aTrace.lines();
        std::string aOpenError =
            std::string("[stamp] kxsyfchk:kxg_opnIcov コード変換オープンエラー[") + aCode + "]";
        EXPECT_NE(aLines.end(), std::find(aLines.begin(), aLines.end(), aOpenError)) << aCode;
        kxg_outWriteTracelog("kxl_step", kEucText.c_str());
        EXPECT_TRUE(sameBytes("[stamp] kxsyfchk:kxl_step " + kEucText, aTrace.lines().back()));
    }
}

// A byte the target cannot take becomes one "?" and the rest is converted.
TEST(CodeConv, BadBytesAreSubstitutedAndTheRestConverted)
{
    PlainHost aHost;
    aHost.env().set("LANG", "ja_JP.UTF-8");
    kxg_opnIcov();
    struct Case {
        std::string In;
        std::string Out;
    } aCases[] = {
        {"", ""},
        {"abc", "abc"},
        {"ab\xff\xff" + kEucText, "ab??" + kUtf8Text},
        {"x\xa4", "x?"}, // a character cut off at the end
        {kEucText, kUtf8Text},
        // Half-width katakana and a JIS X 0212 kanji grow less than twofold.
        {"\x8e\xb1\x8f\xb0\xa1", "\xef\xbd\xb1\xe4\xb8\x82"},
    };
    for (const Case& aCase : aCases) {
        std::string aOut = "junk";
        EXPECT_EQ(0, kxg_chgIcov(aCase.In.c_str(), aOut, 1));
        EXPECT_TRUE(sameBytes(aCase.Out, aOut));
    }
}

// A character the target cannot take becomes one "?", however many bytes it has; a
// broken one never takes the ASCII after it.
TEST(CodeConv, AWholeCharacterBecomesOneQuestionMark)
{
    const std::string kJis0212 = "\x8f\xb0\xa1"; // no Shift_JIS or ISO-2022-JP form
    const std::string kA = "\xb0\xa1";            // "亜"
    struct Case {
        const char* Code;
        std::string In;
        std::string Out;
    } aCases[] = {
        {"SJIS", kJis0212 + kA, "?\x88\x9f"},
        {"CP932", kJis0212 + kA, "?\x88\x9f"},
        {"ISO-2022-JP", kJis0212 + kA, "?\x1b$B0!\x1b(B"},
        {"SJIS", kA + "\x8f\xb0", "\x88\x9f?"},
        {"SJIS", "\x8f" "a" + kA, "?a\x88\x9f"},
        {"SJIS", "\xb0" "a", "?a"},
    };
    for (const Case& aCase : aCases) {
        iconv_t aDesc = iconv_open(aCase.Code, "EUC-JP");
        ASSERT_NE(reinterpret_cast<iconv_t>(-1), aDesc) << aCase.Code;
        for (bool aAsciiKept : {false, true}) {
            std::string aOut;
            kxg_cnvText(aDesc, aCase.In.data(), aCase.In.size(), aOut, aAsciiKept);
            EXPECT_TRUE(sameBytes(aCase.Out, aOut)) << aCase.Code << " " << aAsciiKept;
        }
        iconv_close(aDesc);
    }
}

// "aあ" fills twice its length exactly in ISO-2022-JP: the result must still end there.
// Results longer than twice the input, with zero bytes, or in a stateful code set come
// out whole; a stateful one ends in its initial state.
TEST(CodeConv, ResultsOfAnyLengthAndForm)
{
    struct Case {
        const char* Code;
        std::string Out;
    } aCases[] = {
        {"ISO-2022-JP", "a\x1b$B$\"\x1b(Ba"},
        {"UTF-16BE", std::string("\0a\x30\x42\0a", 6)},
        {"UTF-7", "a+MEI-a"},
    };
    for (const Case& aCase : aCases) {
        PlainHost aHost;
        aHost.productCode(aCase.Code);
        kxg_opnIcov();
        std::string aOut;
        EXPECT_EQ(0, kxg_chgIcov("a\xa4\xa2" "a", aOut, 0));
        EXPECT_TRUE(sameBytes(aCase.Out, aOut)) << aCase.Code;
    }
}

TEST(CodeConv, ClosedDescriptorRefusesToConvert)
{
    PlainHost aHost;
    aHost.env().set("LANG", "ja_JP.UTF-8");
    kxg_opnIcov();
    kxg_cloIcov();
    EXPECT_EQ(0, kxg_chkIcov(0));
    EXPECT_EQ(0, kxg_chkIcov(1));
    TraceScope aTrace;
    std::string aOut = "kept";
    EXPECT_EQ(-1, kxg_chgIcov(kEucText.c_str(), aOut, 1));
    EXPECT_EQ("kept", aOut);
    EXPECT_EQ(
        std::vector<std::string>{"[stamp] kxsyfchk:kxg_chgIcov 開始関数が呼ばれていないエラー"},
        aTrace.lines());
}

} // namespace
