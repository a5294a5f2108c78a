// Tests of running programs: which command lines can run without a shell, and pipelines
// with their output file, status and time limit.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>

#include "KxTestSupport.h"
#include "KxxComProcess.h"

namespace {

TEST(CutCommandLine, OnlyTheFormsTheFamilyWrites)
{
    struct Case {
        std::string Line;
        bool Cut;
        std::vector<KxProgram> Programs;
        std::string Output;
    } aCases[] = {
        {"/r/usr/bin/uname -r > /t/trace/x", true, {{"/r/usr/bin/uname", "-r"}}, "/t/trace/x"},
        {"/r/sysdef | /r/grep MSGMNB > /t/x", true, {{"/r/sysdef"}, {"/r/grep", "MSGMNB"}}, "/t/x"},
        {"'/r w/id' > '/t/it'\\''s'", true, {{"/r w/id"}}, "/t/it's"},
        {"'/r/|' > /t/x", true, {{"/r/|"}}, "/t/x"},
        {"/r/id", false, {}, ""},
        {"/r/id > /t/x more", false, {}, ""},
        {"/r/id >> /t/x", false, {}, ""},
        {"/r/id | > /t/x", false, {}, ""},
        {"/r/id $HOME > /t/x", false, {}, ""},
        {"/r/id > '/t/x", false, {}, ""},
    };
    for (const Case& aCase : aCases) {
        std::vector<KxProgram> aPrograms;
        std::string aOutput;
        ASSERT_EQ(aCase.Cut, kxg_cutCommandLine(aCase.Line, aPrograms, aOutput)) << aCase.Line;
        if (aCase.Cut) {
            EXPECT_EQ(aCase.Programs, aPrograms) << aCase.Line;
            EXPECT_EQ(aCase.Output, aOutput) << aCase.Line;
        }
    }
}

TEST(RunPrograms, PipelinesStatusAndTimeLimit)
{
    kxtest::TempDir aDir;
    int aRaw = -1;
    EXPECT_EQ(0, kxg_runPrograms({{"/bin/echo", "abc"}, {"/usr/bin/tr", "a", "x"}}, aDir / "out",
                                 -1, 10, aRaw));
    EXPECT_EQ(0, aRaw);
    EXPECT_EQ("xbc\n", kxtest::readFile(aDir / "out"));

    // The status is the last program's.
    EXPECT_EQ(0, kxg_runPrograms({{"/bin/true"}, {"/bin/sh", "-c", "exit 3"}}, aDir / "out", -1,
                                 10, aRaw));
    EXPECT_EQ(3, WEXITSTATUS(aRaw));

    // A program that never ends is killed with what it started, at the limit.
    auto aStart = std::chrono::steady_clock::now();
    EXPECT_EQ(1, kxg_runPrograms({{"/bin/sh", "-c", "sleep 30 & sleep 30"}}, "", -1, 1, aRaw));
    EXPECT_LT(std::chrono::steady_clock::now() - aStart, std::chrono::seconds(5));

    EXPECT_EQ(-1, kxg_runPrograms({{"/nonexistent/program"}}, aDir / "out", -1, 10, aRaw));
}

// A signal the tool ignores (the hangup under nohup) neither ends the command nor fails it.
TEST(RunPrograms, IgnoredSignalsStayIgnored)
{
    kxtest::TempDir aDir;
    for (int aSignal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction aIgnore = {}, aOld;
        aIgnore.sa_handler = SIG_IGN;
        sigaction(aSignal, &aIgnore, &aOld);
        int aRaw = -1;
        std::string aKill = "kill -" + std::to_string(aSignal) + " $PPID; sleep 0.2; echo done";
        int aRun = kxg_runPrograms({{"/bin/sh", "-c", aKill}}, aDir / "out", -1, 10, aRaw);
        sigaction(aSignal, &aOld, nullptr);
        EXPECT_EQ(0, aRun) << aSignal;
        EXPECT_EQ(0, aRaw) << aSignal;
        EXPECT_EQ("done\n", kxtest::readFile(aDir / "out")) << aSignal;
    }
}

} // namespace
