// Tests of the accessors of the tool definition file sys/kxdefchk_SOL.ini.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"

namespace {

using kxtest::TraceScope;

// A tool directory with its trace on and this definition file.
struct DefFile {
    explicit DefFile(const std::string& iContent)
    {
        kxtest::writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", iContent);
    }
    std::string lastTrace() const
    {
        std::vector<std::string> aLines = mTrace.lines();
        return aLines.empty() ? "(none)" : aLines.back();
    }
    TraceScope mTrace;
};

TEST(DefChkIni, VOXLFlagNeedsExactlyYES)
{
    struct Case {
        std::string Content;
        int Result;
        uint32_t Flag;
    } aCases[] = {
        {"[RunMode]\nVOXL=YES\n", 0, 1}, {"[runmode]\nvoxl = YES \n", 0, 1},
        {"[RunMode]\nVOXL=yes\n", 0, 0}, {"[RunMode]\nVOXL=YESS\n", 0, 0},
        {"[RunMode]\nVOXL=\n", 0, 0},    {"[RunMode]\n", -9995, 7},
    };
    for (const Case& aCase : aCases) {
        DefFile aDef(aCase.Content);
        uint32_t aFlag = 7;
        EXPECT_EQ(aCase.Result, kxg_getVOXLFlg(aFlag)) << aCase.Content;
        EXPECT_EQ(aCase.Flag, aFlag) << aCase.Content;
    }
    DefFile aDef("");
    uint32_t aFlag = 7;
    kxg_getVOXLFlg(aFlag);
    EXPECT_EQ("[stamp] kxsyfchk:kxg_getVOXLFlg VOXLフラグ取得エラー", aDef.lastTrace());
}

TEST(DefChkIni, FileNumber)
{
    struct Case {
        std::string Value;
        int Result;
        int Count;
        std::string Trace;
    } aCases[] = {
        {"FileNumber=2", 0, 2, "(none)"},
        {"FileNumber=", 0, 5, "(none)"},
        {"FileNumber=2x", -9995, 5, "外部ファイル数フォーマットエラー[2x]"},
        {"FileNumber=-1", -9995, 5, "外部ファイル数フォーマットエラー[-1]"},
        {"Other=2", -9995, 5, "外部ファイル数取得エラー"},
    };
    for (const Case& aCase : aCases) {
        DefFile aDef("[kxsyfchk]\n" + aCase.Value + "\n");
        int aCount = 5;
        EXPECT_EQ(aCase.Result, kxg_getFileNum(aCount)) << aCase.Value;
        EXPECT_EQ(aCase.Count, aCount) << aCase.Value;
        std::string aHead = aCase.Result == 0 ? "" : "[stamp] kxsyfchk:kxg_getFileNum ";
        EXPECT_EQ(aHead + aCase.Trace, aDef.lastTrace()) << aCase.Value;
    }
}

const char* const kUseFiles = "[kxsyfchk]\nFileNumber=4\n"
                              "useFile1=ListA\nuseFile2=ListB\nuseFile3=ListC\n"
                              "[ListA]\nFilePath=def\nFileName=a.csv\n"
                              "[ListB]\nFilePath=def\n"
                              "[ListC]\nFileName=c.csv\n";

TEST(DefChkIni, UseFilePath)
{
    struct Case {
        int Num;
        int Result;
        std::string Trace;
    } aCases[] = {
        {2, -9995, "外部ファイル名取得エラー"},
        {3, -9995, "外部ファイルパス取得エラー"},
        {4, -9995, "外部ファイルセクション名取得エラー"},
    };
    for (const Case& aCase : aCases) {
        DefFile aDef(kUseFiles);
        std::string aPath = "junk";
        EXPECT_EQ(aCase.Result, kxg_getUseFilePath(aPath, aCase.Num)) << aCase.Num;
        EXPECT_EQ("", aPath);
        EXPECT_EQ("[stamp] kxsyfchk:kxg_opnUseFile " + aCase.Trace, aDef.lastTrace()) << aCase.Num;
    }
    DefFile aDef(kUseFiles);
    std::string aPath;
    EXPECT_EQ(0, kxg_getUseFilePath(aPath, 1));
    EXPECT_EQ(aDef.mTrace.toolDir() + "/def/a.csv", aPath);
    EXPECT_EQ((std::vector<std::string>{"[stamp] kxsyfchk:kxg_opnUseFile [外部ファイルパス]",
                                        "[stamp] kxsyfchk:kxg_opnUseFile " + aPath}),
              aDef.mTrace.lines());
}

TEST(DefChkIni, OpenUseFile)
{
    DefFile aDef(kUseFiles);
    FilePtr aFile;
    EXPECT_EQ(-9998, kxg_opnUseFile(aFile, 1));
    EXPECT_FALSE(aFile);
    EXPECT_EQ("[stamp] kxsyfchk:kxg_opnUseFile ファイルオープンエラー", aDef.lastTrace());
    EXPECT_EQ(-9998, kxg_opnUseFile(aFile, 2));
    EXPECT_EQ("[stamp] kxsyfchk:kxg_opnUseFile フパス付き外部ファイル名取得エラー",
              aDef.lastTrace());

    kxtest::writeFile(aDef.mTrace.toolDir() + "/def/a.csv", "row\n");
    ASSERT_EQ(0, kxg_opnUseFile(aFile, 1));
    char aLine[8] = {};
    EXPECT_STREQ("row\n", fgets(aLine, sizeof aLine, aFile.get()));
}

TEST(DefChkIni, OptionString)
{
    const std::string aSubs = "[s1]\nOpt=s\nDefaultFlg=1\n[n1]\nOpt=n\nDefaultFlg=0\n"
                              "[p1]\nOpt=p\nDefaultFlg=\n[q1]\nOpt=q\nDefaultFlg=01\n"
                              "[x1]\nDefaultFlg=1\n[y1]\nOpt=y\n";
    struct Case {
        std::string CmdList;
        int Mode;
        int Result;
        std::string Opt;
        std::string Trace;
    } aCases[] = {
        {"CmdNumber=3\nsubCMD1=s1\nsubCMD2=n1\nsubCMD3=p1", 0, 0, "snp", ""},
        {"CmdNumber=3\nsubCMD1=s1\nsubCMD2=n1\nsubCMD3=p1", 1, 0, "sp", ""},
        {"CmdNumber=2\nsubCMD1=q1\nsubCMD2=s1", 1, 0, "s", ""},
        {"CmdNumber=\nsubCMD1=s1", 0, 0, "", ""},
        {"CmdNumber=3\nsubCMD1=s1\nsubCMD3=p1", 0, -9995, "s", "サブコマンド名取得エラー"},
        {"CmdNumber=2\nsubCMD1=s1\nsubCMD2=x1", 0, -9995, "s", "サブコマンドオプション取得エラー"},
        {"CmdNumber=2\nsubCMD1=s1\nsubCMD2=y1", 0, 0, "sy", ""},
        {"CmdNumber=2\nsubCMD1=s1\nsubCMD2=y1", 1, -9995, "s",
         "サブコマンドデフォルトフラグ取得エラー"},
        {"CmdNumber=3x\nsubCMD1=s1", 0, -9995, "", "サブコマンド数フォーマットエラー[3x]"},
        {"subCMD1=s1", 0, -9995, "", "サブコマンド数取得エラー"},
    };
    for (const Case& aCase : aCases) {
        DefFile aDef("[CmdList]\n" + aCase.CmdList + "\n" + aSubs);
        std::string aOpt = "junk";
        EXPECT_EQ(aCase.Result, kxg_getOptChkStringEx(aOpt, aCase.Mode)) << aCase.CmdList;
        EXPECT_EQ(aCase.Opt, aOpt) << aCase.CmdList;
        if (aCase.Result != 0) {
            EXPECT_EQ("[stamp] kxsyfchk:kxg_getOptChkStringEx " + aCase.Trace, aDef.lastTrace())
                << aCase.CmdList;
        }
    }
}

TEST(DefChkIni, CommandComment)
{
    DefFile aDef("[KXSYFCHK]\nComment=カーネルパラメタ\n[kxdefchk]\n");
    std::string aComment;
    EXPECT_EQ(0, kxg_getComComment(aComment));
    EXPECT_EQ("カーネルパラメタ", aComment);
    gExecComName = "kxdefchk";
    EXPECT_EQ(-1, kxg_getComComment(aComment));
    EXPECT_EQ("[stamp] kxdefchk:kxg_getComComment コマンドコメント取得エラー", aDef.lastTrace());
}

TEST(DefChkIni, NoToolDirectory)
{
    kxg_iniGlobalTrace();
    std::string aText;
    int aCount = 0;
    FilePtr aFile;
    EXPECT_EQ(-9993, kxg_getOptChkStringEx(aText, 0));
    EXPECT_EQ(-9993, kxg_getUseFilePath(aText, 1));
    EXPECT_EQ(-9998, kxg_opnUseFile(aFile, 1));
    EXPECT_EQ(-9995, kxg_getFileNum(aCount));
    EXPECT_EQ(-1, kxg_getComComment(aText));
}

} // namespace
