// KxFuzzSupport.cpp
#include "KxFuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "KxxComMessage.h"
#include "KxxComOutTrace.h"

namespace fs = std::filesystem;

namespace kxfuzz {

namespace {

// Every run adds trace lines; beyond this the file is emptied, before the program would
// move it into the history and the run would write history files as well.
const off_t kTraceKeepMax = 8 * 1024 * 1024;

// Owns the process's temporary directory; the trace globals and the host root variable
// point into it while it lives.
class Workspace {
public:
    Workspace()
    {
        const char* aTmp = getenv("TMPDIR");
        std::string aTemplate = std::string(aTmp != nullptr && *aTmp != '\0' ? aTmp : "/tmp") +
                                "/kxfuzz.XXXXXX";
        if (mkdtemp(aTemplate.data()) == nullptr) {
            perror("kxfuzz: mkdtemp");
            abort();
        }
        mRoot = aTemplate;
        mDirs.Tool = mRoot + "/tool";
        mDirs.Host = mRoot + "/host";
        mDirs.OutLog = mRoot + "/out.log";
        makeToolDir();
        fs::create_directories(mDirs.Host);
        startProcess();
    }
    ~Workspace()
    {
        kxg_endSysMessage();
        kxg_iniGlobalTrace();
        std::error_code aError;
        fs::remove_all(mRoot, aError);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    const Dirs& dirs() const { return mDirs; }

private:
    // The tool directory as `cmake --install` lays it out; bin holds a stand-in for the
    // command so that the file check of the main tool has something to find.
    void makeToolDir()
    {
        fs::create_directories(mDirs.Tool + "/bin");
        fs::create_directories(mDirs.Tool + "/trace");
        fs::copy(KX_DATA_DIR, mDirs.Tool, fs::copy_options::recursive);
        writeFile(mDirs.Tool + "/bin/kxsyfchk", "");
    }

    // The state of a command after its start: trace on, host root set, locale variables
    // unset (the conversion target sets its own), console catalog loaded, no console.
    void startProcess()
    {
        setenv("KXDEFCHK_HOST_ROOT", mDirs.Host.c_str(), 1);
        for (const char* aName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            unsetenv(aName);
        }
        gKXDefChkPath = mDirs.Tool;
        gExecComName = "kxsyfchk";
        if (kxg_startSysMessage() != 0) {
            fprintf(stderr, "kxfuzz: console catalog of %s not loaded\n", mDirs.Tool.c_str());
            abort();
        }
        int aNull = open("/dev/null", O_WRONLY);
        if (aNull < 0 || dup2(aNull, STDOUT_FILENO) < 0) {
            perror("kxfuzz: /dev/null");
            abort();
        }
        close(aNull);
    }

    std::string mRoot;
    Dirs mDirs;
};

} // namespace

const Dirs& setUp()
{
    static Workspace sWorkspace;
    return sWorkspace.dirs();
}

void writeFile(const std::string& iPath, const uint8_t* iData, size_t iSize)
{
    fs::create_directories(fs::path(iPath).parent_path());
    std::ofstream aOut(iPath, std::ios::binary | std::ios::trunc);
    aOut.write(reinterpret_cast<const char*>(iData), static_cast<std::streamsize>(iSize));
    if (!aOut) {
        fprintf(stderr, "kxfuzz: %s not written\n", iPath.c_str());
        abort();
    }
}

void writeFile(const std::string& iPath, const std::string& iText)
{
    writeFile(iPath, reinterpret_cast<const uint8_t*>(iText.data()), iText.size());
}

void putHost(const std::string& iAbs, const std::string& iText)
{
    writeFile(setUp().Host + iAbs, iText);
}

void endRun()
{
    const Dirs& aDirs = setUp();
    unlink(aDirs.OutLog.c_str());
    const std::string aTrace = kxg_getTracePath();
    struct stat aStat;
    if (stat(aTrace.c_str(), &aStat) == 0 && aStat.st_size > kTraceKeepMax &&
        truncate(aTrace.c_str(), 0) != 0) {
        perror("kxfuzz: trace not emptied");
    }
}

} // namespace kxfuzz
