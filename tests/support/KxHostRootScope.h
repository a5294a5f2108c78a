// KxHostRootScope.h
// Points the host paths (KXDEFCHK_HOST_ROOT) at a simulated host for one test and puts
// the environment back as it was afterwards.
#ifndef KXHOSTROOTSCOPE_H
#define KXHOSTROOTSCOPE_H

#include <cstdlib>
#include <optional>
#include <string>

namespace kxtest {

class HostRootScope {
public:
    explicit HostRootScope(const std::string& iRoot)
    {
        if (const char* aOld = getenv(kName)) {
            mOld = aOld;
        }
        setenv(kName, iRoot.c_str(), 1);
    }
    ~HostRootScope()
    {
        if (mOld) {
            setenv(kName, mOld->c_str(), 1);
        } else {
            unsetenv(kName);
        }
    }
    HostRootScope(const HostRootScope&) = delete;
    HostRootScope& operator=(const HostRootScope&) = delete;

private:
    static constexpr const char* kName = "KXDEFCHK_HOST_ROOT";
    std::optional<std::string> mOld;
};

} // namespace kxtest

#endif
