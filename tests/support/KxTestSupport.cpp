// KxTestSupport.cpp
#include "KxTestSupport.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "KxxComCodeConv.h"
#include "KxxComOutTrace.h"
#include "KxxComTraceStart.h"

namespace fs = std::filesystem;

namespace kxtest {

namespace {


std::string hexdump(const std::string& iText, size_t iFrom, size_t iCount)
{
    std::ostringstream aOut;
    char aByte[4];
    for (size_t i = iFrom; i < iText.size() && i < iFrom + iCount; i++) {
        snprintf(aByte, sizeof aByte, "%02x ", static_cast<unsigned char>(iText[i]));
        aOut << aByte;
    }
    return aOut.str();
}

std::vector<std::string> splitLines(const std::string& iText)
{
    std::vector<std::string> aLines;
    std::istringstream aIn(iText);
    std::string aLine;
    while (std::getline(aIn, aLine)) {
        aLines.push_back(aLine);
    }
    return aLines;
}

} // namespace

std::string readFile(const std::string& iPath)
{
    // A trace file is read as a run leaves it: with the lines still waiting written.
    kxg_flushTrace();
    std::ifstream aIn(iPath, std::ios::binary);
    std::ostringstream aOut;
    aOut << aIn.rdbuf();
    return aOut.str();
}

void writeFile(const std::string& iPath, const std::string& iContent)
{
    makeDirs(fs::path(iPath).parent_path());
    std::ofstream aOut(iPath, std::ios::binary | std::ios::trunc);
    aOut << iContent;
}

void makeDirs(const std::string& iPath)
{
    if (!iPath.empty()) {
        fs::create_directories(iPath);
    }
}

bool exists(const std::string& iPath)
{
    struct stat aStat;
    return lstat(iPath.c_str(), &aStat) == 0;
}

std::vector<std::string> listDir(const std::string& iPath)
{
    std::vector<std::string> aNames;
    for (const auto& aEntry : fs::directory_iterator(iPath)) {
        aNames.push_back(aEntry.path().filename());
    }
    std::sort(aNames.begin(), aNames.end());
    return aNames;
}

std::string convert(const std::string& iText, const char* iTo, const char* iFrom)
{
    iconv_t aDesc = iconv_open(iTo, iFrom);
    if (aDesc == reinterpret_cast<iconv_t>(-1)) {
        return iText;
    }
    std::string aOut(iText.size() * 4 + 16, '\0');
    char* aIn = const_cast<char*>(iText.data());
    size_t aInLeft = iText.size();
    char* aOutPtr = aOut.data();
    size_t aOutLeft = aOut.size();
    while (aInLeft > 0) {
        if (iconv(aDesc, &aIn, &aInLeft, &aOutPtr, &aOutLeft) == static_cast<size_t>(-1)) {
            // Show an unconvertible byte as it is and go on.
            *aOutPtr++ = *aIn++;
            aInLeft--;
            aOutLeft--;
        }
    }
    // Back to the initial state: a stateful code set (UTF-7, ISO-2022-JP) ends its text.
    iconv(aDesc, nullptr, nullptr, &aOutPtr, &aOutLeft);
    iconv_close(aDesc);
    aOut.resize(aOut.size() - aOutLeft);
    return aOut;
}

std::string eucToUtf8(const std::string& iEuc)
{
    return convert(iEuc, "UTF-8", "EUC-JP");
}

std::string utf8ToEuc(const std::string& iUtf8)
{
    return convert(iUtf8, "EUC-JP", "UTF-8");
}

TempDir::TempDir()
{
    const char* aBase = getenv("TMPDIR");
    std::string aTemplate = std::string(aBase && *aBase ? aBase : "/tmp") + "/kxtest.XXXXXX";
    if (mkdtemp(aTemplate.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    mPath = aTemplate;
}

TempDir::~TempDir()
{
    std::error_code aError;
    // A test may have taken permissions away; give them back so that all goes.
    for (auto aIt = fs::recursive_directory_iterator(mPath, aError);
         aIt != fs::recursive_directory_iterator(); aIt.increment(aError)) {
        if (aIt->is_directory(aError) && !aIt->is_symlink(aError)) {
            fs::permissions(aIt->path(), fs::perms::owner_all, fs::perm_options::add, aError);
        }
    }
    fs::remove_all(mPath, aError);
}

TraceScope::TraceScope(const std::string& iCommand)
{
    makeDirs(mDir / "trace");
    gKXDefChkPath = mDir.path();
    gExecComName = iCommand;
}

TraceScope::~TraceScope()
{
    kxg_iniGlobalTrace();
}

std::vector<std::string> TraceScope::messages() const
{
    std::vector<std::string> aMessages;
    for (const std::string& aLine : splitLines(readFile(tracePath()))) {
        size_t aHead = aLine.find("] ");
        size_t aBody = aHead == std::string::npos ? aHead : aLine.find(' ', aHead + 2);
        aMessages.push_back(aBody == std::string::npos ? aLine : aLine.substr(aBody + 1));
    }
    return aMessages;
}

std::vector<std::string> TraceScope::lines() const
{
    return splitLines(maskStamps(readFile(tracePath())));
}

EnvScope::~EnvScope()
{
    for (auto aIt = mSaved.rbegin(); aIt != mSaved.rend(); ++aIt) {
        if (aIt->second) {
            setenv(aIt->first.c_str(), aIt->second->c_str(), 1);
        } else {
            unsetenv(aIt->first.c_str());
        }
    }
}

void EnvScope::save(const std::string& iName)
{
    const char* aOld = getenv(iName.c_str());
    mSaved.emplace_back(iName, aOld ? std::optional<std::string>(aOld) : std::nullopt);
}

EnvScope& EnvScope::set(const std::string& iName, const std::string& iValue)
{
    save(iName);
    setenv(iName.c_str(), iValue.c_str(), 1);
    return *this;
}

EnvScope& EnvScope::unset(const std::string& iName)
{
    save(iName);
    unsetenv(iName.c_str());
    return *this;
}

EnvScope& EnvScope::put(const std::string& iName, const std::optional<std::string>& iValue)
{
    return iValue ? set(iName, *iValue) : unset(iName);
}

CwdScope::CwdScope(const std::string& iDir)
{
    char* aOld = getcwd(nullptr, 0);
    if (aOld == nullptr) {
        throw std::runtime_error("getcwd failed");
    }
    mOld = aOld;
    free(aOld);
    if (chdir(iDir.c_str()) != 0) {
        throw std::runtime_error("chdir failed: " + iDir);
    }
}

CwdScope::~CwdScope()
{
    if (chdir(mOld.c_str()) != 0) {
        ADD_FAILURE() << "could not return to " << mOld;
    }
}

PlainHost::PlainHost()
{
    mEnv.set("KXDEFCHK_HOST_ROOT", mRoot.path()).unset("LC_ALL").unset("LC_MESSAGES").unset("LANG");
}

PlainHost::~PlainHost()
{
    kxg_cloIcov();
}

void PlainHost::productCode(const std::string& iCode) const
{
    writeFile(mRoot / "opt/vestrel/etc/vestrel.reg",
              "[Orbane_CurrentVersion]\nDM_Language=JAPANESE\nCode=" + iCode + "\n");
}

bool traceHas(const TraceScope& iTrace, const std::string& iText)
{
    std::vector<std::string> aMessages = iTrace.messages();
    return std::any_of(aMessages.begin(), aMessages.end(), [&](const std::string& iMsg) {
        return iMsg.find(iText) != std::string::npos;
    });
}

std::map<std::string, std::string> snapshot(const std::string& iDir)
{
    std::map<std::string, std::string> aEntries;
    for (auto aIt = fs::recursive_directory_iterator(iDir); aIt != fs::recursive_directory_iterator();
         ++aIt) {
        fs::file_status aStatus = aIt->symlink_status();
        std::string aKind = std::to_string(static_cast<int>(aStatus.type())) + ":";
        if (fs::is_regular_file(aStatus)) {
            // A huge (sparse) file is known by its size and time rather than read.
            struct stat aStat;
            lstat(aIt->path().c_str(), &aStat);
            aKind += aStat.st_size > (64 << 20)
                         ? std::to_string(aStat.st_size) + "@" + std::to_string(aStat.st_mtime)
                         : readFile(aIt->path());
        }
        aEntries[aIt->path()] = aKind;
    }
    return aEntries;
}

std::string maskStamps(const std::string& iText)
{
    static const std::regex sStamp(R"(\[\d\d/\d\d/\d{4}_\d\d:\d\d:\d\d\])");
    return std::regex_replace(iText, sStamp, "[stamp]");
}

::testing::AssertionResult sameBytes(const std::string& iExpected, const std::string& iActual)
{
    if (iExpected == iActual) {
        return ::testing::AssertionSuccess();
    }
    size_t aAt = 0;
    while (aAt < iExpected.size() && aAt < iActual.size() && iExpected[aAt] == iActual[aAt]) {
        aAt++;
    }
    size_t aFrom = aAt < 16 ? 0 : aAt - 16;
    return ::testing::AssertionFailure()
           << "first difference at byte " << aAt << "\n--- expected (as UTF-8):\n"
           << eucToUtf8(iExpected) << "\n--- actual (as UTF-8):\n"
           << eucToUtf8(iActual) << "\n--- expected bytes from " << aFrom << ": "
           << hexdump(iExpected, aFrom, 48) << "\n--- actual bytes from " << aFrom << ":   "
           << hexdump(iActual, aFrom, 48);
}

ToolDir::ToolDir()
{
    makeDirs(mDir / "bin");
    makeDirs(mDir / "trace");
    fs::copy_file(KX_BINARY, binary());
    fs::copy(std::string(KX_DATA_DIR) + "/sys", mDir / "sys", fs::copy_options::recursive);
    fs::copy(std::string(KX_DATA_DIR) + "/def", mDir / "def", fs::copy_options::recursive);
}

std::string ToolDir::trace() const
{
    return readFile(mDir / "trace/trace.log");
}

void ToolDir::putText(const std::string& iRel, const std::string& iUtf8) const
{
    writeFile(mDir / iRel, utf8ToEuc(iUtf8));
}

Host::Host() = default;

void Host::file(const std::string& iAbs, const std::string& iContent) const
{
    writeFile(mDir.path() + iAbs, iContent);
}

void Host::command(const std::string& iAbs, const std::string& iOutput, int iStatus) const
{
    // The output is kept beside the script, so that it is printed byte for byte.
    std::string aScript = mDir.path() + iAbs;
    file(iAbs + ".out", iOutput);
    file(iAbs, "#!/bin/sh\ncat '" + aScript + ".out'\nexit " + std::to_string(iStatus) + "\n");
    chmod(aScript.c_str(), 0755);
}

void Host::script(const std::string& iAbs, const std::string& iBody) const
{
    file(iAbs, "#!/bin/sh\n" + iBody);
    chmod((mDir.path() + iAbs).c_str(), 0755);
}

void Host::solaris(int iMinor, const std::string& iRole, const std::string& iType,
                   const std::string& iMajor, const std::string& iLevel) const
{
    command("/usr/bin/uname", "5." + std::to_string(iMinor) + "\n");
    command("/usr/bin/id", "uid=0(root) gid=0(root)\n");
    file("/usr/bin/grep", "#!/bin/sh\ncommand -p grep \"$@\"\n");
    chmod((mDir.path() + "/usr/bin/grep").c_str(), 0755);
    vestrel(iMajor, iLevel, iRole, iType);
}

void Host::vestrel(const std::string& iMajor, const std::string& iLevel, const std::string& iRole,
                   const std::string& iType, const std::string& iLanguage,
                   const std::string& iCode, const std::string& iPackages) const
{
    file("/opt/vestrel/etc/vestrel.reg", "[Orbane_CurrentVersion]\n"
                                         "DM_Language=" + iLanguage + "\n"
                                         "Code=" + iCode + "\n"
                                         "DM_MajorVersion=" + iMajor + "\n"
                                         "DM_MinorVersion=0\n"
                                         "DM_MajorLevel=" + iLevel + "\n"
                                         "DM_VLSuffix=\n"
                                         "DM_InstallType2=" + iRole + "\n"
                                         "DM_Type=" + iType + "\n"
                                         "DM_PathName=/opt/vestrel\n"
                                         "[DM]\n" + iPackages);
}

RunResult runProgram(const std::string& iBinary, const std::vector<std::string>& iArgs,
                     const std::map<std::string, std::string>& iEnv, const std::string& iCwd,
                     const std::string& iArgv0)
{
    TempDir aCapture;
    std::string aOutPath = aCapture / "out";
    std::string aErrPath = aCapture / "err";
    std::vector<std::string> aArgs = {iArgv0.empty() ? iBinary : iArgv0};
    aArgs.insert(aArgs.end(), iArgs.begin(), iArgs.end());
    std::vector<char*> aArgv;
    for (std::string& aArg : aArgs) {
        aArgv.push_back(aArg.data());
    }
    aArgv.push_back(nullptr);

    fflush(nullptr);
    pid_t aPid = fork();
    if (aPid == 0) {
        int aOut = open(aOutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int aErr = open(aErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(aOut, 1);
        dup2(aErr, 2);
        if (chdir(iCwd.c_str()) != 0) {
            _exit(126);
        }
        clearenv();
        setenv("PATH", "/usr/bin:/bin", 1);
        for (const auto& aVar : iEnv) {
            setenv(aVar.first.c_str(), aVar.second.c_str(), 1);
        }
        execv(iBinary.c_str(), aArgv.data());
        _exit(127);
    }
    int aStatus = 0;
    waitpid(aPid, &aStatus, 0);
    RunResult aResult;
    aResult.Status = WIFEXITED(aStatus) ? WEXITSTATUS(aStatus) : -1;
    aResult.Out = readFile(aOutPath);
    aResult.Err = readFile(aErrPath);
    return aResult;
}

RunResult runTool(const ToolDir& iTool, const Host& iHost, const std::vector<std::string>& iArgs,
                  const std::map<std::string, std::string>& iEnv)
{
    std::map<std::string, std::string> aEnv = iEnv;
    aEnv["KXDEFCHK_HOST_ROOT"] = iHost.path();
    return runProgram(iTool.binary(), iArgs, aEnv, iTool / "bin");
}

::testing::AssertionResult validResults(const std::string& iPath)
{
    RunResult aRun = runProgram("/usr/bin/python3",
                                {"-m", "jsonschema", "-i", iPath,
                                 std::string(KX_SOURCE_DIR) + "/schema/kxsyfchk-results.schema.json"},
                                {}, "/");
    if (aRun.Status == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << iPath << ": " << aRun.Out << aRun.Err;
}

} // namespace kxtest
