// Tests of the byte-string utilities.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "KxTestSupport.h"
#include "KxxComStrCmp.h"
#include "KxxComString.h"

namespace {

using kxtest::TempDir;

std::vector<std::string> cutAll(const std::string& iText, bool iBlanks, size_t iCalls)
{
    std::vector<std::string> aWords;
    uint32_t aPos = 0;
    std::string aWord;
    for (size_t i = 0; i < iCalls; i++) {
        if (iBlanks) {
            kxg_cutBlTbWord(iText, aPos, aWord);
        } else {
            kxg_cutWord(iText, ',', aPos, aWord);
        }
        aWords.push_back(aWord);
    }
    return aWords;
}

TEST(CutWord, FieldsAtSeparator)
{
    struct Case {
        std::string Text;
        std::vector<std::string> Fields;
    } aCases[] = {
        {"a,,b", {"a", "", "b", "", ""}},
        {"a,b,", {"a", "b", "", ""}},
        {" x , y", {" x ", " y", ""}},
        {"", {"", ""}},
        {",", {"", "", ""}},
    };
    for (const Case& aCase : aCases) {
        EXPECT_EQ(aCase.Fields, cutAll(aCase.Text, false, aCase.Fields.size())) << aCase.Text;
    }
}

TEST(CutWord, CursorAtEndStaysPut)
{
    uint32_t aPos = 1;
    std::string aWord = "old";
    kxg_cutWord("x", ',', aPos, aWord);
    EXPECT_EQ("", aWord);
    EXPECT_EQ(1u, aPos);
}

TEST(CutBlTbWord, WordsAtBlanksAndTabs)
{
    struct Case {
        std::string Text;
        std::vector<std::string> Words;
    } aCases[] = {
        {"  12\t 34", {"12", "34", ""}},
        {"a b", {"a", "b", ""}},
        {"   ", {"", ""}},
        {"x\t\ty ", {"x", "y", ""}},
    };
    for (const Case& aCase : aCases) {
        EXPECT_EQ(aCase.Words, cutAll(aCase.Text, true, aCase.Words.size())) << aCase.Text;
    }
}

TEST(CutBlTbWord, OnlyBlanksLeaveCursorAtEnd)
{
    uint32_t aPos = 1;
    std::string aWord;
    kxg_cutBlTbWord("a   ", aPos, aWord);
    EXPECT_EQ("", aWord);
    EXPECT_EQ(4u, aPos);
}

TEST(ChgCRTAB, EscapeOrder)
{
    struct Case {
        std::string In;
        std::string Out;
    } aCases[] = {
        {"a\\nb", "a\nb"},
        {"\\\\\\\\", "\\"},
        {"\\\\n", "\\\n"},
        {"\\a\\b\\f\\r\\t\\v", "\a\b\f\r\t\v"},
        {"\\'q\\\"", "'q\""},
        {"no escapes", "no escapes"},
        {"\\x", "\\x"},
    };
    for (const Case& aCase : aCases) {
        std::string aText = aCase.In;
        kxg_chgCRTAB(aText);
        EXPECT_EQ(aCase.Out, aText) << aCase.In;
    }
}

// The one-pass replacement gives what replacing each sequence again and again from the
// start gives, on every mix of backslashes, escape letters and quotes.
TEST(ChgCRTAB, SameAsRepeatedReplacement)
{
    const char* const kSeqs[][2] = {{"\\a", "\a"}, {"\\b", "\b"}, {"\\f", "\f"},
                                    {"\\n", "\n"}, {"\\r", "\r"}, {"\\t", "\t"},
                                    {"\\v", "\v"}, {"\\\\", "\\"}, {"\\'", "'"},
                                    {"\\\"", "\""}};
    const std::string kAlphabet = "\\ant'\"x";
    unsigned aSeed = 12345;
    for (int aRun = 0; aRun < 20000; aRun++) {
        std::string aText;
        for (int i = aRun % 9; i >= 0; i--) {
            aSeed = aSeed * 1103515245 + 12345;
            aText += kAlphabet[(aSeed >> 16) % kAlphabet.size()];
        }
        std::string aExpected = aText;
        for (const auto& aSeq : kSeqs) {
            while (kxg_chgStrCnv(aExpected, aSeq[0], aSeq[1]) == 0) {
            }
        }
        std::string aActual = aText;
        kxg_chgCRTAB(aActual);
        ASSERT_EQ(aExpected, aActual) << aText;
    }
}

TEST(ChgStrCnv, ReplacesFirstOccurrenceOnly)
{
    std::string aText = "aXbXc";
    EXPECT_EQ(0, kxg_chgStrCnv(aText, "X", "YY"));
    EXPECT_EQ("aYYbXc", aText);
    EXPECT_EQ(14, kxg_chgStrCnv(aText, "Z", "?"));
    EXPECT_EQ(14, kxg_chgStrCnv(aText, "", "?"));
    EXPECT_EQ("aYYbXc", aText);
}

TEST(Trim, Rules)
{
    struct Case {
        std::string In;
        std::string Left;
        std::string Right;
        std::string Both;
    } aCases[] = {
        {" ", "", " ", ""},
        {"", "", "", ""},
        {" \t\r\nab c \r\n", "ab c \r\n", " \t\r\nab c", "ab c"},
        {"\n\n", "", "\n", ""},
        {"x", "x", "x", "x"},
    };
    for (const Case& aCase : aCases) {
        std::string aLeft = aCase.In, aRight = aCase.In, aBoth = aCase.In;
        EXPECT_EQ(aCase.Left, kxg_trimLeft(aLeft));
        EXPECT_EQ(aCase.Right, kxg_trimRight(aRight));
        EXPECT_EQ(aCase.Both, kxg_trimRight(kxg_trimLeft(aBoth)));
    }
}

TEST(CmpStri, CaseBlindAndAbsentTexts)
{
    EXPECT_EQ(0, kxg_cmpStri("kxsyfchk", "KXSYFCHK"));
    EXPECT_LT(kxg_cmpStri("abc", "ABD"), 0);
    EXPECT_GT(kxg_cmpStri("abd", "ABC"), 0);
    EXPECT_EQ(0, kxg_cmpStri(nullptr, nullptr));
    EXPECT_EQ(-1, kxg_cmpStri(nullptr, "a"));
    EXPECT_EQ(1, kxg_cmpStri("a", nullptr));
    EXPECT_EQ(0, kxg_cmpStrni("[cmdlist] rest", "[CmdList]", 9));
    EXPECT_NE(0, kxg_cmpStrni("[List10]", "[List1]", 7));
    EXPECT_EQ(-1, kxg_cmpStrni(nullptr, "a", 1));
    // Bytes of EUC-JP text are not letters.
    EXPECT_NE(0, kxg_cmpStri("\xa4\xa2", "\x84\x82"));
}

TEST(CmpStri, AbsentFirstTextIsTracedUnderTheComparisonsName)
{
    kxtest::TraceScope aTrace;
    EXPECT_EQ(-1, kxg_cmpStri(nullptr, "a"));
    EXPECT_EQ(-1, kxg_cmpStrni(nullptr, "a", 1));
    EXPECT_EQ(1, kxg_cmpStrni("a", nullptr, 1));
    EXPECT_EQ(0, kxg_cmpStrni(nullptr, nullptr, 1));
    EXPECT_EQ((std::vector<std::string>{"[stamp] kxsyfchk:kxg_cmpStri iString1 == NULL",
                                        "[stamp] kxsyfchk:kxg_cmpStrni iString1 == NULL"}),
              aTrace.lines());
}

TEST(DigitTests, DecimalAndHexadecimal)
{
    struct Case {
        std::string Text;
        int Digit;
        int Hex;
    } aCases[] = {
        {"", 1, 1},       {"0123", 1, 1},  {"12a", 0, 1}, {"aBcDeF09", 0, 1},
        {"0x1f", 0, 0},   {"12 ", 0, 0},   {"-1", 0, 0},  {"g", 0, 0},
        {"\xa3\xb1", 0, 0},
    };
    for (const Case& aCase : aCases) {
        EXPECT_EQ(aCase.Digit, kxg_chkStrisDigit(aCase.Text)) << aCase.Text;
        EXPECT_EQ(aCase.Hex, kxg_chkStrisDigitX(aCase.Text)) << aCase.Text;
    }
}

TEST(GetMidStr, Delimiters)
{
    std::string aOut = "untouched";
    EXPECT_EQ(-9985, kxg_getMidStr("priv,100,deny", '(', ')', aOut));
    EXPECT_EQ("untouched", aOut);
    EXPECT_EQ(0, kxg_getMidStr("x=(priv,100,deny),(b)", '(', ')', aOut));
    EXPECT_EQ("priv,100,deny", aOut);
    EXPECT_EQ(-9984, kxg_getMidStr("x=(priv,100", '(', ')', aOut));
    EXPECT_EQ("priv,100", aOut);

    EXPECT_EQ(0, kxg_getMidStrEx("Memory size: 2048 Megabytes", "Memory size:", "Megabytes", aOut));
    EXPECT_EQ(" 2048 ", aOut);
    EXPECT_EQ(-9984, kxg_getMidStrEx("Memory size: 2048 MB", "Memory size:", "Megabytes", aOut));
    EXPECT_EQ(" 2048 MB", aOut);
    EXPECT_EQ(-9985, kxg_getMidStrEx("Memory 2048 Megabytes", "Memory size:", "Megabytes", aOut));
    EXPECT_EQ("", aOut);
}

TEST(CntFileRowLen, SizesLinesWithoutConsumingThem)
{
    TempDir aDir;
    kxtest::writeFile(aDir / "f", "abc\n\nlast");
    FILE* aFile = fopen((aDir / "f").c_str(), "r");
    ASSERT_NE(nullptr, aFile);
    std::vector<long> aSizes;
    std::vector<std::string> aLines;
    long aSize;
    while ((aSize = kxg_cntFileRowLen(aFile)) != -1) {
        aSizes.push_back(aSize);
        std::string aLine;
        ASSERT_EQ(0, kxg_readFileRow(aFile, aLine));
        aLines.push_back(aLine);
        if (aSizes.size() > 5) {
            break;
        }
    }
    fclose(aFile);
    EXPECT_EQ((std::vector<long>{8, 5, 9}), aSizes);
    EXPECT_EQ((std::vector<std::string>{"abc\n", "\n", "last"}), aLines);
}

TEST(CutEucText, NeverSplitsACharacter)
{
    struct Case {
        std::string Text;
        size_t Max;
        std::string Cut;
    } aCases[] = {
        {"ab\xA4\xA2", 3, "ab"},          // a two-byte character
        {"ab\xA4\xA2", 4, "ab\xA4\xA2"},
        {"a\x8F\xB0\xA1z", 3, "a"},      // a three-byte character
        {"a\x8E\xB1z", 3, "a\x8E\xB1"}, // half-width katakana
        {"abc", 10, "abc"},
    };
    for (const Case& aCase : aCases) {
        std::string aText = aCase.Text;
        kxg_cutEucText(aText, aCase.Max);
        EXPECT_EQ(aCase.Cut, aText) << aCase.Max;
    }
}

TEST(ReadFileRow, LongLineIsReadWhole)
{
    TempDir aDir;
    std::string aLong(100000, 'x');
    kxtest::writeFile(aDir / "f", aLong + "\nnext\n");
    FILE* aFile = fopen((aDir / "f").c_str(), "r");
    ASSERT_NE(nullptr, aFile);
    std::string aLine;
    EXPECT_EQ(0, kxg_readFileRow(aFile, aLine));
    EXPECT_EQ(aLong + "\n", aLine);
    EXPECT_EQ(0, kxg_readFileRow(aFile, aLine));
    EXPECT_EQ("next\n", aLine);
    EXPECT_EQ(-1, kxg_readFileRow(aFile, aLine));
    fclose(aFile);
}

} // namespace
