// KxFuzzSupport.h
// What every fuzz target sets up once per process: a throw-away tool directory (bin, sys,
// def, trace with the built tool files), a host root named by KXDEFCHK_HOST_ROOT, the
// trace on as after trace start, the console catalog loaded and standard output sent to
// /dev/null. Each run writes its input where the parser reads it.
#ifndef KXFUZZSUPPORT_H
#define KXFUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kxfuzz {

struct Dirs {
    std::string Tool;   // bin/ sys/ def/ trace/
    std::string Host;   // "/" of the simulated host
    std::string OutLog; // an output log, removed by endRun
};

// Made on the first call, removed at normal exit.
const Dirs& setUp();

// Replaces the file iPath (directories created as needed).
void writeFile(const std::string& iPath, const uint8_t* iData, size_t iSize);
void writeFile(const std::string& iPath, const std::string& iText);

// Installs iText at iAbs of the host root, e.g. putHost("/etc/system", ...).
void putHost(const std::string& iAbs, const std::string& iText);

// Ends a run: removes the output log and empties the trace once it has grown large, so
// that a long run neither fills the disk nor slows down on a huge trace file.
void endRun();

} // namespace kxfuzz

#endif
