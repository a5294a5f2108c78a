// ControlValue.cpp
// The reading follows setproject's rctl_set and build_rctlblk: blanks are removed from
// the whole text, groups are read part by part, and the first part that cannot be read
// ends the reading.
#include <cctype>

#include "ControlValue.h"
#include "KxxComString.h"
#include "ResourceControl.h"
#include "SettingNumber.h"

namespace {

std::string kxl_removeBlanks(const std::string& iText)
{
    std::string aText;
    for (char aChar : iText) {
        if (!isspace(static_cast<unsigned char>(aChar))) {
            aText += aChar;
        }
    }
    return aText;
}

bool kxl_setPrivilege(const std::string& iPart, ControlValue& ioValue)
{
    std::string aLower = iPart;
    for (char& aChar : aLower) {
        aChar = static_cast<char>(tolower(static_cast<unsigned char>(aChar)));
    }
    ioValue.Privilege = iPart;
    ioValue.Basic = aLower == "basic";
    return aLower == "basic" || aLower == "priv" || aLower == "privileged";
}

// An action: none, deny, or sig=NAME / signal=NAME.
bool kxl_setAction(const std::string& iPart, ControlValue& ioValue)
{
    if (iPart == "none") {
        ioValue.Deny = false;
        ioValue.Signal = 0;
        return true;
    }
    if (iPart == "deny") {
        ioValue.Deny = true;
        return true;
    }
    size_t aEqual = iPart.find('=');
    std::string aKey = iPart.substr(0, aEqual);
    if (aEqual == std::string::npos || (aKey != "sig" && aKey != "signal")) {
        return false;
    }
    ioValue.Signal = kxl_cnvSignal(iPart.substr(aEqual + 1));
    return ioValue.Signal != 0;
}

// Part iPart of a group: 0 the privilege, 1 the value, then actions.
bool kxl_setPart(int iPart, const std::string& iText, ControlValue& ioValue)
{
    if (iPart == 0) {
        return kxl_setPrivilege(iText, ioValue);
    }
    if (iPart == 1) {
        ioValue.Value = iText;
        // setproject refuses any "-", even one strtoull would take.
        return iText.find('-') == std::string::npos &&
               kxl_cnvSettingNumber(iText, NumberBase::Project, ioValue.Number) == 0;
    }
    return kxl_setAction(iText, ioValue);
}

} // namespace

ValueParse kxl_parseControlValues(const std::string& iText, bool iProject, bool iDenyAlways,
                                  std::vector<ControlValue>& oValues)
{
    const std::string aText = kxl_removeBlanks(iText);
    oValues.clear();
    if (aText.find('(') == std::string::npos) {
        return ValueParse::NoValue;
    }
    bool aInParen = false;
    int aPart = 0;
    size_t aHead = 0;
    size_t aGroup = 0;
    ControlValue aValue;
    for (size_t i = 0; i < aText.size(); i++) {
        char aChar = aText[i];
        if (aChar == '(') {
            if (aInParen) {
                return ValueParse::Invalid;
            }
            aInParen = true;
            aPart = 0;
            aHead = aGroup = i + 1;
            aValue = ControlValue();
            aValue.Deny = iDenyAlways;
        } else if (aChar == ',' && aInParen) {
            if (!kxl_setPart(aPart++, aText.substr(aHead, i - aHead), aValue)) {
                return ValueParse::Invalid;
            }
            aHead = i + 1;
        } else if (aChar == ')') {
            if (!aInParen || aPart < 2 ||
                !kxl_setPart(aPart, aText.substr(aHead, i - aHead), aValue)) {
                return ValueParse::Invalid;
            }
            aInParen = false;
            aValue.Text = aText.substr(aGroup, i - aGroup);
            oValues.push_back(aValue);
            if (iProject && aValue.Basic) {
                return ValueParse::BasicValue;
            }
        } else if (!aInParen && aChar != ',') {
            return ValueParse::Invalid;
        }
    }
    return aInParen || oValues.empty() ? ValueParse::Invalid : ValueParse::Values;
}

std::string kxl_cnvPrivilege(const std::string& iPrivilege)
{
    std::string aUpper = iPrivilege;
    kxg_toUpper(aUpper);
    if (aUpper == "PRIVILEGED" || aUpper == "PRIV") {
        return "priv";
    }
    if (aUpper == "BASIC") {
        return "basic";
    }
    if (aUpper == "SYSTEM") {
        return "system";
    }
    return iPrivilege;
}

const ControlValue& kxl_chooseValue(const std::vector<ControlValue>& iValues,
                                    const std::string& iPrivilege)
{
    const std::string aWanted = kxl_cnvPrivilege(iPrivilege);
    const ControlValue* aSamePrivilege = nullptr;
    for (const ControlValue& aValue : iValues) {
        if (aWanted.empty() || kxl_cnvPrivilege(aValue.Privilege) != aWanted) {
            continue;
        }
        if (aValue.Deny) {
            return aValue;
        }
        if (aSamePrivilege == nullptr) {
            aSamePrivilege = &aValue;
        }
    }
    return aSamePrivilege != nullptr ? *aSamePrivilege : iValues.front();
}
