// KxxComOutTrace.h
// The trace log: one line per event in trace/trace.log under the tool directory, headed
// by a time stamp, the command name and the writing function's name. Trace start finds
// the tool directory, opens the code conversion and rotates the history files; trace
// stop closes them. While the trace is not started every writer call does nothing.
#ifndef KXXCOMOUTTRACE_H
#define KXXCOMOUTTRACE_H

#include <optional>
#include <string>

// The tool directory (parent of bin, sys, def, trace) and the base name under which the
// command was started; both unset outside trace start .. trace stop.
extern std::optional<std::string> gKXDefChkPath;
extern std::optional<std::string> gExecComName;

// The name of the suite's main tool, which has its own banners, grammar, help and
// required files.
extern const char* const gMainToolName;

// The trace file, trace/trace.log under the tool directory; only while the trace is started.
std::string kxg_getTracePath();

// Unsets both trace globals, so that nothing is written before trace start.
void kxg_iniGlobalTrace();

// Appends one trace line; a trace file that grows beyond 16 MiB goes into the history
// right away. 0 written or trace not started; -9993 message not converted; -9998 trace
// file not opened (or a symbolic link); -9991 write failed.
int kxg_outWriteTracelog(const char* iFunc, const char* iMsg);

// kxg_outWriteTracelog with a printf-style message, cut at 4095 bytes.
int kxg_outWriteTracelogEx(const char* iFunc, const char* iFormat, ...)
    __attribute__((format(printf, 2, 3)));

// Starts the trace for the command started as iStartName (argv[0]). 0 started (also
// when the history rotation failed); -1 no start name, PATH not set or the command not
// found through it.
int kxg_TraceMemAllc(const char* iStartName);

// Writes the closing banner, closes the code conversion and unsets the trace globals.
void kxg_TraceMemFree();

// Splits iPath at its last "/" into directory and name; without "/" all of it is name.
void kxg_getSplitPath(const std::string& iPath, std::string& oDir, std::string& oName);

#endif
