// End-to-end tests of the results for programs (KXSYFCHK_JSON): the document of each
// verdict with its fix, of a failed run, and a file that cannot be written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "KxTestSupport.h"

namespace {

using kxtest::Host;
using kxtest::RunResult;
using kxtest::ToolDir;
using Json = nlohmann::json;

class JsonResults : public ::testing::Test {
protected:
    JsonResults()
    {
        mHost.solaris(10);
        mTool.putText("def/kxsyfchk_sol10.csv",
                      "Solaris10,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n"
                      "Solaris10,,,,,process.max-file-descriptor,user.root,priv,fixed,,65536\n"
                      "Solaris10,,,,,project.max-msg-ids,user.root,priv,fixed,,256\n"
                      "Solaris10,,,,,process.max-sem-nsems,,priv,additional,512,256\n"
                      "Solaris10,,,,,project.max-sem-ids,user.root,priv,fixed,,256\n"
                      "Solaris10,,,,,rlim_fd_max,,,fixed,,65536\n");
        mHost.file("/etc/project",
                   "user.root:1::::project.max-shm-ids=(priv,512,deny);"
                   "process.max-file-descriptor=(basic,1000,deny),(priv,8192,deny);"
                   "project.max-msg-ids=(priv,100,deny)\n");
        mHost.file("/etc/system", "set rlim_fd_max=1024\nset semsys:seminfo_semmni=200\n");
    }
    RunResult run(const std::string& iJson)
    {
        return kxtest::runTool(mTool, mHost, {mTool / "out.log"}, {{"KXSYFCHK_JSON", iJson}});
    }
    Json document() const
    {
        EXPECT_TRUE(kxtest::validResults(mTool / "r.json"));
        return Json::parse(kxtest::readFile(mTool / "r.json"));
    }
    ToolDir mTool;
    Host mHost;
};

TEST_F(JsonResults, EachVerdictWithItsFix)
{
    kxtest::writeFile(mTool / "r.json", "an older document, replaced whole");
    ASSERT_EQ(1, run(mTool / "r.json").Status);
    Json aDoc = document();
    EXPECT_EQ(2, aDoc["format"]);
    EXPECT_EQ("Solaris10", aDoc["os"]);
    EXPECT_EQ("5.10", aDoc["release"]);
    EXPECT_EQ((Json{{"role", "NRDA"}, {"edition", "QB"},
                    {"version", {{"major", 13}, {"minor", 0}, {"level", 40}}}}),
              aDoc["product"]);
    EXPECT_EQ(1, aDoc["exit_status"]);
    EXPECT_EQ(nullptr, aDoc["failure"]);
    EXPECT_EQ(nullptr, aDoc["host"]); // a host root without a MANIFEST
    EXPECT_EQ(mTool / "trace/trace.log", aDoc["trace"]);
    EXPECT_EQ(mTool / "out.log", aDoc["output_log"]);

    struct Row {
        const char* Verdict;
        Json Value;
        Json Source;
        Json Fix;
    } aRows[] = {
        {R"(["ok"])", 512, "/etc/project", nullptr},
        // The control's other values stay: only the one the row asks for changes.
        {R"(["below-minimum"])", 8192, "/etc/project",
         "projmod -s -K 'process.max-file-descriptor=(basic,1000,deny),(priv,65536,deny)' "
         "user.root"},
        {R"(["below-minimum"])", 100, "/etc/project",
         "projmod -s -K 'project.max-msg-ids=(priv,256,deny)' user.root"},
        {R"(["not-set"])", 512, "default",
         "projmod -s -K 'process.max-sem-nsems=(priv,768,deny)' default"},
        // The obsolete tunable raises the default limit to 200, still too few.
        {R"(["below-minimum"])", 200, "/etc/system",
         "projmod -s -K 'project.max-sem-ids=(priv,256,deny)' user.root"},
        {R"(["below-minimum"])", 1024, "/etc/system", "set rlim_fd_max=65536"},
    };
    ASSERT_EQ(6u, aDoc["requirements"].size());
    for (size_t i = 0; i < 6; i++) {
        const Json& aReq = aDoc["requirements"][i];
        EXPECT_EQ(Json::parse(aRows[i].Verdict), aReq["verdict"]) << i;
        EXPECT_EQ(aRows[i].Value, aReq["value"]) << i;
        EXPECT_EQ(aRows[i].Source, aReq["source"]) << i;
        EXPECT_EQ(aRows[i].Fix, aReq["fix"].is_null() ? Json() : aReq["fix"]["command"]) << i;
    }
    const Json& aMsgIds = aDoc["requirements"][2];
    EXPECT_EQ(256, aMsgIds["minimum"]);
    EXPECT_EQ("prctl -n project.max-msg-ids -t privileged -v 256 -r -i project user.root",
              aMsgIds["fix"]["apply_now"]);
    EXPECT_EQ(false, aMsgIds["fix"]["reboot"]);
    EXPECT_EQ(nullptr, aDoc["requirements"][1]["fix"]["apply_now"]);
    EXPECT_EQ(nullptr, aDoc["requirements"][3]["value_text"]);
    EXPECT_EQ("semsys:seminfo_semmni", aDoc["requirements"][4]["tunable"]);
    const Json& aSystem = aDoc["requirements"][5];
    EXPECT_EQ("/etc/system", aSystem["fix"]["file"]);
    EXPECT_EQ(true, aSystem["fix"]["reboot"]);
    // Nothing but the document is left beside it.
    EXPECT_EQ((std::vector<std::string>{"bin", "def", "out.log", "r.json", "sys", "trace"}),
              kxtest::listDir(mTool.path()));
}

// Where a setting is not in force the row says why; an /etc/system fix names the file
// that holds the statement in force.
TEST_F(JsonResults, NotesAndTheFileOfTheStatementInForce)
{
    mHost.solaris(11);
    mTool.putText("def/kxsyfchk_sol11.csv",
                  "Solaris11,,,,,project.max-shm-ids,user.root,priv,fixed,,256\n"
                  "Solaris11,,,,,rlim_fd_max,,,fixed,,65536\n"
                  "Solaris11,,,,,zone.max-swap,,priv,fixed,,1024\n");
    mHost.file("/etc/project", "user.root:1::::project.max-shm-ids=(priv,16G,deny)\n");
    mHost.file("/etc/system", "");
    mHost.file("/etc/system.d/site-tuning", "set rlim_fd_max=1024\n");
    ASSERT_EQ(1, run(mTool / "r.json").Status);
    Json aReqs = document()["requirements"];
    EXPECT_EQ(2u, aReqs[0]["notes"].size());
    EXPECT_NE(std::string::npos, aReqs[0]["notes"][1].get<std::string>().find(kxtest::eucToUtf8("ログインは失敗")));
    EXPECT_EQ("/etc/system.d/site-tuning", aReqs[1]["fix"]["file"]);
    EXPECT_EQ(nullptr, aReqs[2]["fix"]);
    EXPECT_NE(std::string::npos, aReqs[2]["notes"][0].get<std::string>().find(kxtest::eucToUtf8("大域ゾーン")));
}

TEST_F(JsonResults, FailedRunAndFilesThatCannotBeWritten)
{
    remove((mHost / "etc/project").c_str());
    ASSERT_EQ(255, run(mTool / "r.json").Status);
    Json aDoc = document();
    EXPECT_EQ(255, aDoc["exit_status"]);
    EXPECT_EQ(-1, aDoc["failure"]["code"]);
    EXPECT_EQ(kxtest::eucToUtf8("システムファイルから値取得失敗"), aDoc["failure"]["step"]);
    EXPECT_EQ(kxtest::eucToUtf8("kxl_GetSystemParamSolx ファイルオープンエラー"),
              aDoc["failure"]["cause"]);
    EXPECT_EQ(nullptr, aDoc["product"]);
    EXPECT_EQ(Json::array(), aDoc["requirements"]);

    // A document that cannot be written changes nothing else of the run.
    mHost.file("/etc/project", "");
    RunResult aPlain = run("");
    EXPECT_FALSE(kxtest::exists(mTool / ".json"));
    RunResult aRun = run("/nonexistent/r.json");
    EXPECT_EQ(aPlain.Status, aRun.Status);
    EXPECT_EQ(aPlain.Out, aRun.Out);
    EXPECT_NE(std::string::npos,
              mTool.trace().find("JSONファイル出力エラー[/nonexistent/r.json][No such file"));
}

// The document is written from the judged records: a run with it runs the same commands
// as one without, also for a "calc" row that is not set.
TEST(JsonDocument, RunsNoCommandOfItsOwn)
{
    ToolDir aTool;
    Host aHost;
    aHost.solaris(9);
    aTool.putText("def/kxsyfchk_sol9.csv", "Solaris9,,,,,msgsys:msginfo_msgmap,,,fixed,,calc\n");
    aHost.file("/etc/system", "");
    aHost.command("/usr/sbin/sysdef", "      40\tsystem message headers (MSGTQL)\n");
    auto aCommands = [&](const std::string& iJson) {
        remove((aTool / "trace/trace.log").c_str());
        kxtest::runTool(aTool, aHost, {aTool / "out.log"}, {{"KXSYFCHK_JSON", iJson}});
        std::istringstream aTrace(kxtest::maskStamps(aTool.trace()));
        std::string aLine, aLines;
        while (std::getline(aTrace, aLine)) {
            aLines += aLine.find("kxg_runSysCom") != std::string::npos ? aLine + "\n" : "";
        }
        return aLines;
    };
    EXPECT_EQ(aCommands(""), aCommands(aTool / "r.json"));
    EXPECT_TRUE(kxtest::validResults(aTool / "r.json"));
    EXPECT_EQ(nullptr, Json::parse(kxtest::readFile(aTool / "r.json"))["requirements"][0]["minimum"]);
}

} // namespace
