// Remedy.h
// Layer 10 (the reporters).
// What a judged record means for the administrator: the notes that say where its limit
// comes from and why a setting is not in force, and the change that meets the
// requirement, made so that it is safe to paste.
#ifndef REMEDY_H
#define REMEDY_H

#include <string>
#include <vector>

#include "Record.h"

// The change that meets a record's requirement.
struct Remedy {
    std::string Command;  // the command to run, or the "set" line to put in File
    std::string ApplyNow; // the command that applies it to the running system; empty: none
    std::string File;     // the file the change is made in
    bool Reboot = false;  // it takes effect at the next boot
    std::string Note;     // how it takes effect
};

// The change for a record that failed. false when nothing is to be done or nothing can be
// said (the record passed, its minimum is not known, an optcri row).
bool kxl_getRemedy(const SysPrmRecord& iRec, Remedy& oRemedy);

// The notes of a record: where the limit it was judged by comes from when that is not
// its own setting, and why a setting that is configured is not in force.
std::vector<std::string> kxl_getRecordNotes(const SysPrmRecord& iRec);

#endif
