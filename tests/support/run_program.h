// Runs a program as a child process to its end, with its standard input given and its
// standard output and error collected, for tests and benchmarks of the real binary.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/started_program.h"

namespace quivra::test {

// Waits for the program to end; after `limit` it is killed (status 128 + 9).
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& input = "",
                             std::chrono::seconds limit = std::chrono::seconds(120)) {
    return StartedProgram(program, args, input).finish(limit);
}

}  // namespace quivra::test
