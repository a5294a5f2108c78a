// KxxComTraceStart.h
// Layer 4 (trace start).
// Trace start, stop and history: finds the tool directory, opens the code conversions
// (from the locale and the managing product's code set) and moves an oversize trace into
// the history; trace stop closes them.
#ifndef KXXCOMTRACESTART_H
#define KXXCOMTRACESTART_H

#include <string>

// Starts the trace for the command started as iStartName (argv[0]); from then on each
// host path refused for leaving the host root is traced. 0 started (also when the
// history rotation failed); -1 no start name, PATH not set or the command not found
// through it.
int kxg_TraceMemAllc(const char* iStartName);

// Writes the closing banner, closes the code conversion and unsets the trace globals.
void kxg_TraceMemFree();

// Splits iPath at its last "/" into directory and name; without "/" all of it is name.
void kxg_getSplitPath(const std::string& iPath, std::string& oDir, std::string& oName);

// Chooses the code sets from the locale and the managing product and opens the descriptors.
void kxg_opnIcov();

// Closes every open descriptor.
void kxg_cloIcov();

#endif
