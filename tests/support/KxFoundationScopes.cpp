// KxFoundationScopes.cpp
#include "KxFoundationScopes.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#include "KxxComCodeConv.h"

namespace kxtest {

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

} // namespace kxtest
