// Runs a command line through /bin/sh -c and collects its output.
#pragma once

#include <functional>
#include <string>

namespace quivra {

// Receives each chunk as it arrives; a non-zero result stops the reading.
using OutputReceiver = std::function<int(const std::string& chunk)>;

// Blocks until the command has ended (or the receiver stopped it). Standard input is
// /dev/null; standard output and error are collected in arrival order. When exitStatus
// is given it receives the command's exit status (-1 when it did not exit normally).
std::string runCommand(const std::string& command, const OutputReceiver& receiver = nullptr,
                       int* exitStatus = nullptr);

// From now on runCommand starts nothing (it returns "" and reports -1): the program is
// closing, and no merge may begin after terminateStartedCommands has looked and so
// outlive the program.
void refuseNewCommands();

// Ends every process that runCommand started and that still runs (used when the main
// window closes). Returns how many were signalled.
int terminateStartedCommands();

}  // namespace quivra
