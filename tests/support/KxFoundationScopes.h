// KxFoundationScopes.h
// Scopes for tests of the foundation modules that change process state: environment
// variables, the current directory and the conversion descriptors are put back as they
// were, so that one test's setting never leaks into the next.
#ifndef KXFOUNDATIONSCOPES_H
#define KXFOUNDATIONSCOPES_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "KxTestSupport.h"

namespace kxtest {

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

} // namespace kxtest

#endif
