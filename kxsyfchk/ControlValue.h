// ControlValue.h
// Layer 6 (the command's ground).
// The values of a resource control, "(privilege,value,action...)" as setproject reads
// them from a project entry, and the one of them that counts for a requirement.
#ifndef CONTROLVALUE_H
#define CONTROLVALUE_H

#include <string>
#include <vector>

// One value of a control.
struct ControlValue {
    std::string Text;             // the group without its parentheses and blanks
    std::string Privilege;        // as written: basic, priv or privileged in any case
    std::string Value;            // as written
    unsigned long long Number = 0;
    bool Basic = false;
    bool Deny = false;            // the value denies (always so on controls that must)
    int Signal = 0;               // the signal it sends; 0 none
};

// What setproject makes of a control's value text.
enum class ValueParse {
    Values,     // oValues holds them
    NoValue,    // no "(" at all: the control is not applied, the entry goes on
    BasicValue, // a basic value on a project control: not applied, the entry goes on
    Invalid,    // a value it cannot read: it stops reading the entry there
};

// Reads iText as setproject does: every blank removed, then one or more groups of at
// least three parts. iProject: a control of the project itself, which has no basic
// level; iDenyAlways: a control whose values deny whatever their actions say.
ValueParse kxl_parseControlValues(const std::string& iText, bool iProject, bool iDenyAlways,
                                  std::vector<ControlValue>& oValues);

// A privilege word in one spelling: basic, priv and system in any case ("privileged" is
// priv); any other word as written.
std::string kxl_cnvPrivilege(const std::string& iPrivilege);

// The value that counts for a requirement of iPrivilege: the first one with that
// privilege that denies, else the first with that privilege, else the first.
const ControlValue& kxl_chooseValue(const std::vector<ControlValue>& iValues,
                                    const std::string& iPrivilege);

#endif
