// EvaluateSupport.h
// Helpers of the evaluation tests: pointing the host paths at a simulated host, and
// looking for trace messages.
#ifndef EVALUATESUPPORT_H
#define EVALUATESUPPORT_H

#include <algorithm>
#include <cstdlib>
#include <string>

#include "KxTestSupport.h"

namespace kxtest {

// KXDEFCHK_HOST_ROOT names iRoot while the scope lives; the old setting comes back after.
class HostRootScope
{
  public:
    explicit HostRootScope(const std::string& iRoot)
    {
        const char* aOld = getenv("KXDEFCHK_HOST_ROOT");
        mHad = aOld != nullptr;
        mOld = mHad ? aOld : "";
        setenv("KXDEFCHK_HOST_ROOT", iRoot.c_str(), 1);
    }
    ~HostRootScope()
    {
        if (mHad) {
            setenv("KXDEFCHK_HOST_ROOT", mOld.c_str(), 1);
        } else {
            unsetenv("KXDEFCHK_HOST_ROOT");
        }
    }
    HostRootScope(const HostRootScope&) = delete;
    HostRootScope& operator=(const HostRootScope&) = delete;

  private:
    bool mHad = false;
    std::string mOld;
};

// Whether some trace message contains iText.
inline bool traceHas(const TraceScope& iTrace, const std::string& iText)
{
    auto aMessages = iTrace.messages();
    return std::any_of(aMessages.begin(), aMessages.end(), [&](const std::string& aMsg) {
        return aMsg.find(iText) != std::string::npos;
    });
}

} // namespace kxtest

#endif
