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

// Unsets both trace globals, so that nothing is written before trace start, and begins
// a new run for the limits of the trace.
void kxg_iniGlobalTrace();

// Lines are written in blocks: they reach the file when a second has passed, before a
// command starts (kxg_flushTrace), before the history moves, at trace stop and when a
// signal ends the tool, so that a reader sees them up to a second late.

// Appends one trace line, its control characters written visibly ("\n", "\x1b"); a
// trace file that grows beyond 16 MiB goes into the history right away, unless the run
// has moved one there already. A run that has written 32 MiB writes no more lines.
// 0 written, cut or trace not started; -9993 message not converted; -9998 trace file not
// opened (or a symbolic link); -9991 write failed.
int kxg_outWriteTracelog(const char* iFunc, const char* iMsg);

// kxg_outWriteTracelog with a printf-style message, cut at 4095 bytes.
int kxg_outWriteTracelogEx(const char* iFunc, const char* iFormat, ...)
    __attribute__((format(printf, 2, 3)));

// kxg_outWriteTracelog for a line of detail, one of those written for each line of a
// file or of a command's output: a run writes no more of them once its lines pass 16 MiB,
// so that one hostile file cannot push the results out of the trace.
int kxg_outDetailTracelog(const char* iFunc, const char* iMsg);

// kxg_outDetailTracelog with a printf-style message, cut at 4095 bytes.
int kxg_outDetailTracelogEx(const char* iFunc, const char* iFormat, ...)
    __attribute__((format(printf, 2, 3)));

// Writes the waiting lines into the trace file. 0 (also when the trace is off); -9998
// not opened; -9991 not written.
int kxg_flushTrace();

// Catches the signals that end the tool (hangup, interrupt, quit, terminate), those not
// ignored when it started, so that the waiting lines are written before it ends.
void kxg_catchEndingSignals();

// The last line written that is no detail, "function message" as the program holds it
// (EUC-JP): after a failure, the cause the failing step traced.
const std::string& kxg_getLastTraceMessage();

// Moves the trace file into the first free history slot trace_01.log .. trace_03.log, or
// over the oldest of them when all three are taken; the run moves no other while it goes
// on. 0; -9980 the oldest not removed; -9981 the trace file not renamed; -9982 a history
// file not examined.
int kxg_rotateTrace();

#endif
