// KxTestSupport.h
// Builders and checks shared by the tests: throw-away directories, a tool directory with
// the installed binary and data, a simulated Solaris host, running the binary, and byte
// comparisons that show the first difference readably.
#ifndef KXTESTSUPPORT_H
#define KXTESTSUPPORT_H

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace kxtest {

std::string readFile(const std::string& iPath);
void writeFile(const std::string& iPath, const std::string& iContent);
void makeDirs(const std::string& iPath);
bool exists(const std::string& iPath);
std::vector<std::string> listDir(const std::string& iPath);
// A text in the program's exec charset (EUC-JP) as UTF-8, for readable failure output.
std::string eucToUtf8(const std::string& iEuc);
// iText from code set iFrom to iTo (iconv names); an unconvertible byte is kept as it is.
std::string convert(const std::string& iText, const char* iTo, const char* iFrom);
std::string utf8ToEuc(const std::string& iUtf8);

// A directory under the system's temporary directory, removed with all it holds.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return mPath; }
    std::string operator/(const std::string& iRel) const { return mPath + "/" + iRel; }

private:
    std::string mPath;
};

// Turns the trace on for unit tests: the trace globals point at a throw-away tool
// directory with an empty trace directory, as after trace start; off again at the end.
class TraceScope {
public:
    explicit TraceScope(const std::string& iCommand = "kxsyfchk");
    ~TraceScope();
    const std::string& toolDir() const { return mDir.path(); }
    std::string tracePath() const { return mDir / "trace/trace.log"; }
    // The trace file's messages: each line without its "[stamp] cmd:func " head.
    std::vector<std::string> messages() const;
    // The trace lines with their time stamps masked as "[stamp]".
    std::vector<std::string> lines() const;

private:
    TempDir mDir;
};

// Sets or unsets environment variables; the old values come back in reverse order.
class EnvScope {
public:
    EnvScope() = default;
    ~EnvScope();
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;
    EnvScope& set(const std::string& iName, const std::string& iValue);
    EnvScope& unset(const std::string& iName);
    // Sets iName when iValue holds a text, else unsets it.
    EnvScope& put(const std::string& iName, const std::optional<std::string>& iValue);

private:
    void save(const std::string& iName);
    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

// Points the host paths (KXDEFCHK_HOST_ROOT) at iRoot for the scope's life.
class HostRootScope {
public:
    explicit HostRootScope(const std::string& iRoot) { mEnv.set("KXDEFCHK_HOST_ROOT", iRoot); }

private:
    EnvScope mEnv;
};

// Works in iDir until the end of the scope.
class CwdScope {
public:
    explicit CwdScope(const std::string& iDir);
    ~CwdScope();
    CwdScope(const CwdScope&) = delete;
    CwdScope& operator=(const CwdScope&) = delete;

private:
    std::string mOld;
};

// A host root without the managing product and no locale variables: the code conversion
// opens nothing unless a test asks for it. Closes the descriptors at the end.
class PlainHost {
public:
    PlainHost();
    ~PlainHost();
    EnvScope& env() { return mEnv; }
    // Installs the managing product's installation file with this code set name.
    void productCode(const std::string& iCode) const;

private:
    TempDir mRoot;
    EnvScope mEnv;
};

// Whether some trace message contains iText.
bool traceHas(const TraceScope& iTrace, const std::string& iText);

// Every entry below iDir: its kind and, for a regular file, its contents. FIFOs and
// devices are never opened.
std::map<std::string, std::string> snapshot(const std::string& iDir);

// Masks the time stamps of trace lines and output-log headers.
std::string maskStamps(const std::string& iText);

// Compares two byte strings; on a difference shows both decoded from EUC-JP and a
// hexdump around the first differing byte.
::testing::AssertionResult sameBytes(const std::string& iExpected, const std::string& iActual);

// A tool directory as `cmake --install` lays it out: bin/kxsyfchk, sys/, def/, trace/.
class ToolDir {
public:
    ToolDir();
    const std::string& path() const { return mDir.path(); }
    std::string operator/(const std::string& iRel) const { return mDir / iRel; }
    std::string binary() const { return mDir / "bin/kxsyfchk"; }
    std::string trace() const;
    // Replaces a tool file; iUtf8 is converted to EUC-JP as the build does.
    void putText(const std::string& iRel, const std::string& iUtf8) const;

private:
    TempDir mDir;
};

// A simulated Solaris host: the directory that KXDEFCHK_HOST_ROOT names.
class Host {
public:
    Host();
    const std::string& path() const { return mDir.path(); }
    std::string operator/(const std::string& iRel) const { return mDir / iRel; }
    void file(const std::string& iAbs, const std::string& iContent) const;
    // A command at iAbs that prints iOutput exactly and exits with iStatus.
    void command(const std::string& iAbs, const std::string& iOutput, int iStatus = 0) const;
    // A command at iAbs that runs the shell script iBody.
    void script(const std::string& iAbs, const std::string& iBody) const;
    // A Solaris 10 or 9 host with uname, id, grep, a managing product of iMajor.iLevel
    // (hexadecimal texts as stored) in role iRole, edition iType.
    void solaris(int iMinor, const std::string& iRole = "NRDA", const std::string& iType = "4",
                 const std::string& iMajor = "D", const std::string& iLevel = "28") const;
    // A complete installation file with these fields; iPackages are the lines of its
    // package section [DM].
    void vestrel(const std::string& iMajor, const std::string& iLevel, const std::string& iRole,
                 const std::string& iType, const std::string& iLanguage = "JAPANESE",
                 const std::string& iCode = "EUC",
                 const std::string& iPackages = "ZVNQkxsdl=1\n") const;

private:
    TempDir mDir;
};

struct RunResult {
    int Status = -1;   // exit status as the shell sees it
    std::string Out;   // standard output
    std::string Err;   // standard error
};

// Runs iBinary (argv[0] is iArgv0, or iBinary when empty) with iArgs in iCwd, with the
// environment iEnv added to a clean one (PATH, no locale).
RunResult runProgram(const std::string& iBinary, const std::vector<std::string>& iArgs,
                     const std::map<std::string, std::string>& iEnv, const std::string& iCwd,
                     const std::string& iArgv0 = "");

// Whether the results document at iPath holds to schema/kxsyfchk-results.schema.json,
// checked with Debian's python3-jsonschema.
::testing::AssertionResult validResults(const std::string& iPath);

// Runs the tool's binary against the host, from the tool directory's bin.
RunResult runTool(const ToolDir& iTool, const Host& iHost, const std::vector<std::string>& iArgs,
                  const std::map<std::string, std::string>& iEnv = {});

} // namespace kxtest

#endif
