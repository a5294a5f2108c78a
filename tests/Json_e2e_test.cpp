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
                      "Solaris10,,,,,project.max-sem-ids,user.root,priv,fixed,,256\n"
                      "Solaris10,,,,,project.max-msg-ids,user.root,priv,fixed,,256\n"
                      "Solaris10,,,,,process.max-sem-nsems,,priv,additional,512,256\n"
                      "Solaris10,,,,,rlim_fd_max,,,fixed,,65536\n");
        mHost.file("/etc/project",
                   "user.root:1::::project.max-shm-ids=(priv,512,deny);"
                   "project.max-sem-ids=(basic,512,deny);project.max-msg-ids=(basic,100,deny)\n");
        mHost.file("/etc/system", "set rlim_fd_max=1024\n");
    }
    RunResult run(const std::string& iJson)
    {
        return kxtest::runTool(mTool, mHost, {mTool / "out.log"}, {{"KXSYFCHK_JSON", iJson}});
    }
    Json document() const { return Json::parse(kxtest::readFile(mTool / "r.json")); }
    ToolDir mTool;
    Host mHost;
};

TEST_F(JsonResults, EachVerdictWithItsFix)
{
    kxtest::writeFile(mTool / "r.json", "an older document, replaced whole");
    ASSERT_EQ(1, run(mTool / "r.json").Status);
    Json aDoc = document();
    EXPECT_EQ("kxsyfchk", aDoc["tool"]);
    EXPECT_EQ("Solaris10", aDoc["os"]);
    EXPECT_EQ("5.10", aDoc["release"]);
    EXPECT_EQ((Json{{"role", "NRDA"}, {"edition", "QB"},
                    {"version", {{"major", 13}, {"minor", 0}, {"level", 40}}}}),
              aDoc["product"]);
    EXPECT_EQ(1, aDoc["exit_status"]);
    EXPECT_EQ(mTool / "trace/trace.log", aDoc["trace"]);
    EXPECT_EQ(mTool / "out.log", aDoc["output_log"]);

    struct Row {
        const char* Verdict;
        Json Value;
        Json Fix;
    } aRows[] = {
        {R"(["ok"])", "512", nullptr},
        {R"(["wrong-privilege"])", "512",
         "projmod -s -K 'project.max-sem-ids=(priv,512,deny)' user.root"},
        {R"(["below-minimum","wrong-privilege"])", "100",
         "projmod -s -K 'project.max-msg-ids=(priv,256,deny)' user.root"},
        {R"(["not-set"])", nullptr,
         "projmod -s -K 'process.max-sem-nsems=(priv,768,deny)' default"},
        {R"(["below-minimum"])", "1024", "set rlim_fd_max=65536"},
    };
    ASSERT_EQ(5u, aDoc["requirements"].size());
    for (size_t i = 0; i < 5; i++) {
        const Json& aReq = aDoc["requirements"][i];
        EXPECT_EQ(Json::parse(aRows[i].Verdict), aReq["verdict"]) << i;
        EXPECT_EQ(aRows[i].Value, aReq["value"]) << i;
        EXPECT_EQ(aRows[i].Fix, aReq["fix"].is_null() ? Json() : aReq["fix"]["command"]) << i;
    }
    const Json& aNotSet = aDoc["requirements"][3];
    EXPECT_EQ("768", aNotSet["minimum"]);
    EXPECT_EQ(nullptr, aNotSet["file"]);
    const Json& aSystem = aDoc["requirements"][4];
    EXPECT_EQ("/etc/system", aSystem["file"]);
    EXPECT_EQ(true, aSystem["fix"]["reboot"]);
    EXPECT_EQ(false, aDoc["requirements"][1]["fix"]["reboot"]);
    // Nothing but the document is left beside it.
    EXPECT_EQ((std::vector<std::string>{"bin", "def", "out.log", "r.json", "sys", "trace"}),
              kxtest::listDir(mTool.path()));
}

TEST_F(JsonResults, FailedRunAndFilesThatCannotBeWritten)
{
    remove((mHost / "etc/project").c_str());
    ASSERT_EQ(255, run(mTool / "r.json").Status);
    EXPECT_EQ((Json{{"tool", "kxsyfchk"}, {"version", document()["version"]},
                    {"os", "Solaris10"}, {"release", "5.10"}, {"product", nullptr},
                    {"exit_status", 255}, {"trace", mTool / "trace/trace.log"},
                    {"output_log", mTool / "out.log"}, {"requirements", Json::array()}}),
              document());

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
    EXPECT_EQ(nullptr, Json::parse(kxtest::readFile(aTool / "r.json"))["requirements"][0]["minimum"]);
}

} // namespace
