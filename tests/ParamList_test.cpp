// Tests of loading the parameter list files into requirement records.
#include <gtest/gtest.h>

#include "KxTestSupport.h"
#include "ParamList.h"

namespace {

using kxtest::TraceScope;

// A tool directory whose kxsyfchk section names the given parameter list files.
class ListLoad : public ::testing::Test {
protected:
    void files(const std::vector<std::string>& iContents)
    {
        std::string aIni = "[kxsyfchk]\nFileNumber=" + std::to_string(iContents.size()) + "\n";
        for (size_t i = 0; i < iContents.size(); i++) {
            aIni += "useFile" + std::to_string(i + 1) + "=L" + std::to_string(i + 1) + "\n";
        }
        for (size_t i = 0; i < iContents.size(); i++) {
            std::string aName = "l" + std::to_string(i + 1) + ".csv";
            aIni += "[L" + std::to_string(i + 1) + "]\nFilePath=def\nFileName=" + aName + "\n";
            kxtest::writeFile(mTrace.toolDir() + "/def/" + aName, iContents[i]);
        }
        kxtest::writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", aIni);
    }
    int load(const std::string& iOSName = "Solaris10")
    {
        mList = SysPrmList{};
        return kxl_getSysPrmList(iOSName, mInfo, mList);
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> aNames;
        for (int i = 0; i < mList.Count; i++) {
            aNames.push_back(mList.Records[i].ParamName);
        }
        return aNames;
    }
    TraceScope mTrace;
    InstallInfo mInfo;
    SysPrmList mList;
};

TEST_F(ListLoad, RowIsParsedTrimmedAndStored)
{
    files({"# comment, with, commas\n\n   \n"
           " Solaris10 ,,,,, project.max-shm-ids , user.root , priv ,additional , 128 , 256 ,extra\n"});
    ASSERT_EQ(0, load());
    ASSERT_EQ(1, mList.Count);
    const SysPrmRecord& aRecord = mList.Records[0];
    EXPECT_EQ("project.max-shm-ids", aRecord.ParamName);
    EXPECT_EQ("user.root", aRecord.ProjectName);
    EXPECT_EQ("priv", aRecord.Privilege);
    EXPECT_EQ("additional", aRecord.Criterion);
    EXPECT_EQ("128", aRecord.OSInitValue);
    EXPECT_EQ("256", aRecord.NeedValue);
    EXPECT_EQ("", aRecord.CurrentValue);
    EXPECT_EQ(0, aRecord.ErrStat);
}

TEST_F(ListLoad, CriterionAndValueCounts)
{
    struct Case {
        std::string Values; // criterion, OS initial value, needed value
        int Result;
        std::string Trace;
    } aCases[] = {
        {"fixed,,5", 0, ""},
        {"fixed,1 2 3,calc", 0, ""},
        {"additional,10,5", 0, ""},
        {"additional,calc,5", 0, ""},
        {"optcri,1\t2,1 2  3 4", 0, ""},
        {"fixed,,", -9995, "必要値、基準と個数フォーマットエラー"},
        {"fixed,,1 2", -9995, "必要値、基準と個数フォーマットエラー"},
        {"additional,,5", -9995, "OS初期値、基準と個数フォーマットエラー"},
        {"optcri,1 2,1 2 3", -9995, "必要値、基準と個数フォーマットエラー"},
        {"optcri,1,1 2 3 4", -9995, "OS初期値、基準と個数フォーマットエラー"},
        {"fixed,0x10,5", -9995, "OS初期値フォーマットエラー"},
        {"fixed,,-5", -9995, "必要値フォーマットエラー"},
        {"fixed,,CALC", -9995, "必要値フォーマットエラー"},
        {",,5", -9995, "基準なしエラー"},
        {"Fixed,,5", -9995, "未知の基準エラー[Fixed]"},
    };
    for (const Case& aCase : aCases) {
        files({",,,,,p,,," + aCase.Values + "\n"});
        EXPECT_EQ(aCase.Result, load()) << aCase.Values;
        if (aCase.Result != 0) {
            std::vector<std::string> aMessages = mTrace.messages();
            ASSERT_GE(aMessages.size(), 2u);
            EXPECT_EQ(aCase.Trace, aMessages[aMessages.size() - 2]) << aCase.Values;
            EXPECT_EQ("内容取得エラー", aMessages.back());
        }
    }
}

TEST_F(ListLoad, FiltersApplyByModeAndAreExact)
{
    mInfo.InstallType = "NRDA";
    mInfo.Type = 4;
    mInfo.VersionMJ = 13;
    mInfo.VersionMI = 0xFFFFFFFF;
    const std::string aRows = "Solaris10,,,,,all,,,fixed,,1\n"
                              "Solaris9,,,,,otherOS,,,fixed,,1\n"
                              "solaris10,,,,,caseOS,,,fixed,,1\n"
                              ",NRDA,,,,role,,,fixed,,1\n"
                              ",NRDB,,,,otherRole,,,fixed,,1\n"
                              ",,QB,,,edition,,,fixed,,1\n"
                              ",,QBX,,,otherEdition,,,fixed,,1\n"
                              ",,,13,,major,,,fixed,,1\n"
                              ",,,013,,zeroMajor,,,fixed,,1\n"
                              ",,,,-1,minor,,,fixed,,1\n"
                              ",,,,4294967295,wideMinor,,,fixed,,1\n";
    files({aRows});
    mInfo.VOXLFlg = 1;
    ASSERT_EQ(0, load());
    EXPECT_EQ((std::vector<std::string>{"all", "role", "edition", "major", "minor"}), names());

    mInfo.VOXLFlg = 0;
    ASSERT_EQ(0, load());
    EXPECT_EQ((std::vector<std::string>{"all", "role", "otherRole", "edition", "otherEdition",
                                        "major", "zeroMajor", "minor", "wideMinor"}),
              names());
}

TEST_F(ListLoad, EditionOfAnUnknownTypeMatchesNoEditionRow)
{
    mInfo.VOXLFlg = 1;
    mInfo.Type = 3;
    files({",,QA,,,a,,,fixed,,1\n,,,,,b,,,fixed,,1\n"});
    ASSERT_EQ(0, load());
    EXPECT_EQ((std::vector<std::string>{"b"}), names());
}

TEST_F(ListLoad, FieldLimitsApplyToEveryRowRawWithBlanks)
{
    struct Case {
        int Field; // 1-based
        size_t Limit;
    } aCases[] = {{1, 32}, {2, 8}, {3, 5}, {4, 10}, {5, 10}, {6, 256},
                  {7, 256}, {8, 11}, {9, 11}, {10, 256}, {11, 256}};
    for (const Case& aCase : aCases) {
        for (size_t aLen : {aCase.Limit, aCase.Limit + 1}) {
            // Rows for another release, with the long field made of blanks and "x"; the
            // line itself is trimmed before its fields are cut.
            std::vector<std::string> aFields = {"Solaris8", "", "", "", "", "p", "", "",
                                                "fixed", "", "1"};
            std::string& aField = aFields[aCase.Field - 1];
            std::string aPad(aLen - 1, ' ');
            aField = aCase.Field == 1 ? "x" + aPad : aPad + "x";
            std::string aRow;
            for (size_t i = 0; i < aFields.size(); i++) {
                aRow += (i ? "," : "") + aFields[i];
            }
            files({aRow + "\n"});
            int aExpected = aLen > aCase.Limit ? -9995 : 0;
            EXPECT_EQ(aExpected, load()) << "field " << aCase.Field << " length " << aLen;
        }
    }
}

TEST_F(ListLoad, TooLongFieldIsTraced)
{
    files({std::string(33, 'S') + ",,,,,p,,,fixed,,1\n"});
    EXPECT_EQ(-9995, load());
    std::vector<std::string> aMessages = mTrace.messages();
    ASSERT_GE(aMessages.size(), 2u);
    EXPECT_EQ("ワードが指定バイトを超えているエラー", aMessages[aMessages.size() - 2]);
    EXPECT_EQ("フォーマットエラー", aMessages.back());
}

TEST_F(ListLoad, MissingNameOrShortRowFailsOnceItApplies)
{
    files({",,,,,,,,fixed,,1\n"});
    EXPECT_EQ(-9995, load());
    files({"Solaris10,,,,,p,,,fixed\n"});
    EXPECT_EQ(-9995, load());
    files({"Solaris9,,,,,p\n"});
    EXPECT_EQ(0, load());
    EXPECT_EQ(0, mList.Count);
}

TEST_F(ListLoad, DuplicatesAcrossFilesGiveOneRecordInFileOrder)
{
    files({"Solaris10,,,,,a,,,fixed,,1\n,,,,,b,,,fixed,,1\n",
           ",NRDA,,,,a,,,fixed,,1\nSolaris10,,,,,c,,,fixed,,1\n,,,,,b,,,fixed,,2\n"});
    ASSERT_EQ(0, load());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "b"}), names());
}

TEST_F(ListLoad, RowsEqualInAllSixFieldsAreDuplicates)
{
    const std::string aBase = ",,,,,a,p,priv,additional,1,2\n";
    std::string aRows = aBase + " ,,,,, a , p ,priv,additional, 1 ,2\n";
    for (const char* aDiffers : {",,,,,b,p,priv,additional,1,2\n", ",,,,,a,q,priv,additional,1,2\n",
                                 ",,,,,a,p,basic,additional,1,2\n", ",,,,,a,p,priv,fixed,1,2\n",
                                 ",,,,,a,p,priv,additional,3,2\n", ",,,,,a,p,priv,additional,1,3\n"}) {
        aRows += aDiffers;
    }
    files({aRows, aBase});
    ASSERT_EQ(0, load());
    EXPECT_EQ(7, mList.Count);
}

TEST_F(ListLoad, TheIndexFindsEachNamesRecordsInListOrder)
{
    std::string aRows;
    for (int i = 0; i < 300; i++) {
        aRows += ",,,,,n" + std::to_string(i % 100) + ",,,fixed,," + std::to_string(i) + "\n";
    }
    files({aRows});
    ASSERT_EQ(0, load());
    kxl_makeIndex(mList);
    for (const char* aName : {"n0", "n57", "n99"}) {
        std::vector<std::string> aNeeds;
        kxl_forEachNamed(mList, aName, SettingSource::System,
                         [&](const SysPrmRecord& iRec) { aNeeds.push_back(iRec.NeedValue); });
        int aFirst = std::stoi(aName + 1);
        EXPECT_EQ((std::vector<std::string>{std::to_string(aFirst), std::to_string(aFirst + 100),
                                            std::to_string(aFirst + 200)}),
                  aNeeds);
    }
    EXPECT_EQ(0u, kxl_findFirst(mList, "n100"));
    EXPECT_FALSE(kxl_forEachNamed(mList, "n1", SettingSource::Project, [](const SysPrmRecord&) {}));
}

TEST_F(ListLoad, ListGrowsBy25)
{
    std::string aRows;
    for (int i = 0; i < 26; i++) {
        aRows += ",,,,,p" + std::to_string(i) + ",,,fixed,,1\n";
    }
    files({aRows.substr(0, aRows.size() - 1)});
    ASSERT_EQ(0, load());
    EXPECT_EQ(26, mList.Count);
    EXPECT_EQ(50, mList.Capacity);
    EXPECT_EQ("p25", mList.Records[25].ParamName);

    files({",,,,,only,,,fixed,,1"});
    ASSERT_EQ(0, load());
    EXPECT_EQ(25, mList.Capacity);
}

TEST_F(ListLoad, FileCountAndMissingFiles)
{
    kxtest::writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", "[kxsyfchk]\nFileNumber=\n");
    EXPECT_EQ(0, load());
    EXPECT_EQ(0, mList.Count);
    kxtest::writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini", "[kxsyfchk]\nFileNumber=1x\n");
    EXPECT_EQ(-1, load());
    kxtest::writeFile(mTrace.toolDir() + "/sys/kxdefchk_SOL.ini",
                      "[kxsyfchk]\nFileNumber=1\nuseFile1=L\n[L]\nFilePath=def\nFileName=no.csv\n");
    EXPECT_EQ(-1, load());
    EXPECT_EQ("外部ファイルオープンエラー", mTrace.messages().back());
}

} // namespace
