// KxxComProcess.h
// Layer 1 (ground).
// Runs programs as the family's commands need them: a pipeline in a process group of its
// own, killed whole at a time limit, the last program's output sent to a file; and the
// command lines the family writes for them, quoted and cut into words.
#ifndef KXXCOMPROCESS_H
#define KXXCOMPROCESS_H

#include <string>
#include <vector>

// One program of a pipeline: its path, then its arguments.
using KxProgram = std::vector<std::string>;

// Runs iPrograms as a pipeline, the last one's standard output to iOutput (created or
// emptied as the shell's ">" does it; inherited when iOutput is empty) and every one's
// standard error to the descriptor iErrors (inherited when -1), and waits at most
// iSeconds; whatever of the group is left then, or when the tool is interrupted, is killed
// (an interruption then takes its course). 0 ended (oRaw: the last program's wait status);
// 1 killed at the time limit; -1 not started (nothing is left running).
int kxg_runPrograms(const std::vector<KxProgram>& iPrograms, const std::string& iOutput,
                    int iErrors, unsigned long iSeconds, int& oRaw);

// iText as one word of a shell command line: unchanged when the shell takes it
// literally (the usual paths), else single-quoted.
std::string kxg_cnvShellWord(const std::string& iText);

// The programs of a command line as the family writes them: words the shell takes
// literally or single-quoted ones, joined by "|", ending in "> file". false for any other
// line, which only a shell can run.
bool kxg_cutCommandLine(const std::string& iLine, std::vector<KxProgram>& oPrograms,
                        std::string& oOutput);

#endif
