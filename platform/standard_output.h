// standard_output.h - the last word on what a program printed.
//
// printf and fputs to stdout report nothing when the output goes nowhere
// (a full disk, /dev/full, a closed pipe's file): the bytes sit in stdio's
// buffer until exit, and a failed write there is lost with the exit status
// still 0. A program that prints to standard output ends through
// FinishStandardOutput instead:
//
//   int main(int argc, char** argv) { return jolp::FinishStandardOutput("tool", Run(argc, argv)); }
//
// which flushes and closes stdout and, if any write to it failed, says so on
// stderr ("tool: cannot write standard output (No space left on device)")
// and turns a successful exit status into 1.
#pragma once

namespace jolp {

// exitCode when everything written to stdout arrived; otherwise 1 in place
// of 0 (a failure's own status is kept), with the message on stderr headed
// by program. Nothing may be written to stdout afterwards.
int FinishStandardOutput(const char* program, int exitCode);

}  // namespace jolp
