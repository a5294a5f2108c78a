// KxxComOutTrace.h
// Layer 2 (the trace writer, on the ground alone).
// The trace writer: one line per event in trace/trace.log under the tool directory,
// headed by a time stamp, the command name and the writing function's name; nothing at
// all while the trace is not started (KxxComTraceStart starts and stops it).
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

// Moves the trace file into the first free history slot trace_01.log .. trace_03.log, or
// over the oldest of them when all three are taken. 0; -9980 the oldest not removed;
// -9981 the trace file not renamed; -9982 a history file not examined.
int kxg_rotateTrace();

#endif
