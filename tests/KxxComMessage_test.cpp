// Tests of the console message catalog and the output log.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

#include "KxTestSupport.h"
#include "KxxComCodeConv.h"
#include "KxxComMessage.h"
#include "KxxComOutText.h"
#include "KxxComTraceStart.h"

namespace {

using kxtest::eucToUtf8;
using kxtest::maskStamps;
using kxtest::readFile;
using kxtest::sameBytes;
using kxtest::TempDir;
using kxtest::TraceScope;
using kxtest::writeFile;

// What a call wrote to standard output, and its result.
struct Captured {
    int Result;
    std::string Out;
};

Captured captureStdout(const std::function<int()>& iCall)
{
    TempDir aDir;
    std::string aPath = aDir / "stdout";
    fflush(stdout);
    int aSaved = dup(1);
    int aFd = open(aPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(aFd, 1);
    close(aFd);
    int aResult = iCall();
    fflush(stdout);
    dup2(aSaved, 1);
    close(aSaved);
    return {aResult, readFile(aPath)};
}

// Converts the console (selector 1) or the files (selector 0) to UTF-8 while it lives.
class Utf8Output {
public:
    explicit Utf8Output(int iSelector)
    {
        (iSelector == 0 ? gIC : gICLC) = iconv_open("UTF-8", "EUC-JP");
    }
    ~Utf8Output() { kxg_cloIcov(); }
};

bool traced(const TraceScope& iTrace, const std::string& iMessage)
{
    std::vector<std::string> aMessages = iTrace.messages();
    return std::find(aMessages.begin(), aMessages.end(), iMessage) != aMessages.end();
}

class SysMessageTest : public ::testing::Test {
protected:
    void TearDown() override { kxg_endSysMessage(); }
    int load(const std::string& iCatalog)
    {
        writeFile(mTrace.toolDir() + "/sys/SysMessage.csv", iCatalog);
        return kxg_startSysMessage();
    }
    TraceScope mTrace;
};

TEST_F(SysMessageTest, FieldLimitsDecideTheWholeLoad)
{
    struct Case {
        std::string Catalog;
        int Result;
        std::string Trace; // empty: none expected
    } aCases[] = {
        {"12345,x\n", 0, ""},
        {"07001,ok\n123456,x\n", -9995, "ワードが指定バイトを超えているエラー"},
        {"12345," + std::string(2047, 'a') + "\n", 0, ""},
        {"12345," + std::string(2048, 'a') + "\n", -9995, "ワードが指定バイトを超えている(最後)エラー"},
        // A line longer than the read buffer goes on as a line of its own.
        {"#" + std::string(4094, 'c') + "07001,x\n", 0, ""},
        {"#" + std::string(4094, 'c') + "123456,x\n", -9995, "メッセージファイルフォーマットエラー"},
    };
    for (const Case& aCase : aCases) {
        writeFile(mTrace.tracePath(), "");
        EXPECT_EQ(aCase.Result, load(aCase.Catalog)) << aCase.Catalog.substr(0, 20);
        EXPECT_EQ(aCase.Result == 0, gSysMsgInfoSTR != nullptr);
        if (!aCase.Trace.empty()) {
            EXPECT_TRUE(traced(mTrace, aCase.Trace)) << eucToUtf8(aCase.Trace);
        }
    }
}

TEST_F(SysMessageTest, CommentsOnlyLoadWithoutRows)
{
    ASSERT_EQ(0, load("# header\n\n  \t\r\n   # indented comment\n"));
    EXPECT_EQ(0u, gSysMsgInfoSTR->RowCount);
    Captured aShown = captureStdout([] { return kxg_outSysMessage("07001"); });
    EXPECT_EQ(-9994, aShown.Result);
    EXPECT_EQ("", aShown.Out);
    EXPECT_TRUE(traced(mTrace, "[メッセージIDなしエラー][07001]"));
}

TEST_F(SysMessageTest, UnreadableCatalogIsNotLoaded)
{
    EXPECT_EQ(-9998, kxg_startSysMessage());
    kxtest::makeDirs(mTrace.toolDir() + "/sys/SysMessage.csv");
    EXPECT_EQ(-9998, kxg_startSysMessage());
    EXPECT_EQ(nullptr, gSysMsgInfoSTR);
    EXPECT_EQ(-9994, kxg_outSysMessage("07001"));
}

TEST_F(SysMessageTest, TextsPrintLiterallyWithOrWithoutConversion)
{
    ASSERT_EQ(0, load("07001,first\n07001,second\n"
                      "  07002,a,b,,c \t\r\n"
                      "07003,上段\\n下段\n"
                      "07004,100%% %s %d%\n"
                      "07005\n"));
    EXPECT_EQ(6u, gSysMsgInfoSTR->RowCount);
    struct Case {
        const char* MsgId;
        std::string Out; // EUC-JP
    } aCases[] = {
        {"07001", "first"},
        {"07002", "a,b,,c"},
        {"07003", "上段\n下段"},
        {"07004", "100% %s %d%"},
        {"07005", ""},
    };
    for (int aConvert = 0; aConvert < 2; aConvert++) {
        std::unique_ptr<Utf8Output> aUtf8(aConvert ? new Utf8Output(1) : nullptr);
        for (const Case& aCase : aCases) {
            // Shown twice: the escape conversion of the first showing must not change the second.
            for (int aTime = 0; aTime < 2; aTime++) {
                Captured aShown = captureStdout([&] { return kxg_outSysMessage(aCase.MsgId); });
                EXPECT_EQ(0, aShown.Result);
                EXPECT_TRUE(sameBytes(aConvert ? eucToUtf8(aCase.Out) : aCase.Out, aShown.Out))
                    << aCase.MsgId << " converted " << aConvert;
            }
        }
    }
}

TEST(OutPrintf, FormatsAndCutsOnlyWhatIsConverted)
{
    std::string aLong(5000, 'x');
    auto aPrint = [&] { return kxg_outPrintf("%s:%d%%|%s", "日本", 5, aLong.c_str()); };
    std::string aEuc = "日本:5%|" + aLong;
    Captured aPlain = captureStdout(aPrint);
    EXPECT_EQ(0, aPlain.Result);
    EXPECT_TRUE(sameBytes(aEuc, aPlain.Out));

    Utf8Output aUtf8(1);
    Captured aConv = captureStdout(aPrint);
    EXPECT_EQ(0, aConv.Result);
    EXPECT_TRUE(sameBytes(eucToUtf8(aEuc.substr(0, 4095)), aConv.Out));
}

class OutLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", "[kxsyfchk]\nComment=資源設定\n");
    }
    void catalog(const std::string& iRows)
    {
        writeFile(mTrace.toolDir() + "/sys/OutLogMessage.csv", iRows);
    }
    TraceScope mTrace;
    TempDir mOut;
};

const char* const kCatalog =
    "# tool,level,id,text,body\n"
    "\n"
    "KxDefChk,0,07001,検出,本文1,本文2\\n次行 100%% %s\n"
    "KxDefChk,0,07001,second,dup\n"
    "Other,1,07002,other,x\n"
    "KxDefChk,1,07002,警告,body\n"
    "KxDefChk,2,07003\n"
    "KxDefChk,3,07004,bad,x\n";

TEST_F(OutLogTest, MessagesWithOrWithoutConversion)
{
    catalog(kCatalog);
    struct Case {
        const char* MsgId;
        int Result;
        std::string Log;   // EUC-JP, stamps masked
        std::string Trace; // EUC-JP; empty: none expected
    } aCases[] = {
        {"07001", 0, "\n[stamp] KxDefChk:ERROR:07001:検出\n\n本文1,本文2\n次行 100% %s", ""},
        {"07002", 0, "\n[stamp] KxDefChk:WARNING:07002:警告\n\nbody", ""},
        {"07003", 0, "\n[stamp] KxDefChk:INFO:07003:\n\n", ""},
        {"07004", -1, "", "出力ログファイル出力エラー[07004]"},
        {"09999", -9994, "", "メッセージIDなしエラー[09999]"},
    };
    for (int aConvert = 0; aConvert < 2; aConvert++) {
        std::unique_ptr<Utf8Output> aUtf8(aConvert ? new Utf8Output(0) : nullptr);
        for (const Case& aCase : aCases) {
            std::string aPath = mOut / (std::string(aCase.MsgId) + std::to_string(aConvert));
            EXPECT_EQ(aCase.Result, kxg_outOLMessage(aPath, aCase.MsgId, "KxDefChk"));
            std::string aLog = maskStamps(readFile(aPath));
            EXPECT_TRUE(sameBytes(aConvert ? eucToUtf8(aCase.Log) : aCase.Log, aLog))
                << aCase.MsgId << " converted " << aConvert;
            EXPECT_EQ(aCase.Log.empty(), !kxtest::exists(aPath)) << aCase.MsgId;
            if (!aCase.Trace.empty()) {
                EXPECT_TRUE(traced(mTrace, aConvert ? eucToUtf8(aCase.Trace) : aCase.Trace));
            }
        }
    }
}

TEST_F(OutLogTest, FieldLimitsOfRowsUpToTheWantedOne)
{
    struct Case {
        std::string Rows;
        int Result;
    } aCases[] = {
        {std::string(24, 'T') + ",0,07001,t", 0},
        {std::string(25, 'T') + ",0,07001,t", -9995},
        {"KxDefChk,00,07001,t", -9995},
        {"KxDefChk,0,070011,t", -9995},
        {"KxDefChk,0,07001," + std::string(1023, 't'), 0},
        {"KxDefChk,0,07001," + std::string(1024, 't'), -9995},
        // A bad row before the wanted one fails the request, one after it is never read.
        {"KxDefChk,0,070000,t\nKxDefChk,0,07001,t", -9995},
        {"KxDefChk,0,07001,t\nKxDefChk,0,070000,t", 0},
    };
    for (const Case& aCase : aCases) {
        catalog(aCase.Rows + "\n");
        std::string aTool = aCase.Rows.substr(0, aCase.Rows.find(','));
        EXPECT_EQ(aCase.Result, kxg_outOLMessage(mOut / "log", "07001", aTool.c_str()))
            << aCase.Rows.substr(0, 40);
    }
    EXPECT_TRUE(traced(mTrace, "ワードが指定バイトを超えているエラー"));
}

TEST_F(OutLogTest, FailuresAreReported)
{
    writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", "[other]\nComment=x\n");
    EXPECT_EQ(-1, kxg_outOLTitle(mOut / "log"));
    EXPECT_TRUE(traced(mTrace, "コマンドコメント取得エラー"));
    EXPECT_EQ(-9998, kxg_outOLMessage(mOut / "log", "07001", "KxDefChk"));
    catalog(kCatalog);
    EXPECT_EQ(-1, kxg_outOLMessage(mOut / "no/log", "07001", "KxDefChk"));
    EXPECT_EQ(-9998, kxg_outOLTitle(mOut / "no/log"));
    EXPECT_EQ(-9998, kxg_outOLString(mOut / "no/log", "x"));
    // A full disk must not pass for a written report.
    EXPECT_EQ(-1, kxg_outOLMessage("/dev/full", "07001", "KxDefChk"));
    EXPECT_EQ(-1, kxg_outOLString("/dev/full", "x"));
}

TEST_F(OutLogTest, TitleWithOrWithoutConversion)
{
    std::string aTitle = "\n□資源設定にて以下の情報が検出されました\n";
    EXPECT_EQ(0, kxg_outOLTitle(mOut / "plain"));
    EXPECT_TRUE(sameBytes(aTitle, readFile(mOut / "plain")));
    Utf8Output aUtf8(0);
    EXPECT_EQ(0, kxg_outOLTitle(mOut / "conv"));
    EXPECT_TRUE(sameBytes(eucToUtf8(aTitle), readFile(mOut / "conv")));
}

TEST_F(OutLogTest, FreeTextCutOnlyWhenConverted)
{
    std::string aLong(5000, 'y');
    std::string aEuc = "名前 5%\n" + aLong;
    EXPECT_EQ(0, kxg_outOLString(mOut / "plain", "%s %d%%\n%s", "名前", 5, aLong.c_str()));
    EXPECT_TRUE(sameBytes(aEuc, readFile(mOut / "plain")));
    Utf8Output aUtf8(0);
    EXPECT_EQ(0, kxg_outOLString(mOut / "conv", "%s %d%%\n%s", "名前", 5, aLong.c_str()));
    EXPECT_TRUE(sameBytes(eucToUtf8(aEuc.substr(0, 4095)), readFile(mOut / "conv")));
}

} // namespace
