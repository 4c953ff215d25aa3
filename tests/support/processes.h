// Looks at processes a test has started, through /proc.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quivra::test {

// A process that has ended, or only waits to be reaped, counts as gone.
inline bool processRuns(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// The process id written in a file; 0 when there is none.
inline pid_t pidInFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// True once the process whose id the file holds has ended (waits up to timeoutMs).
template <class WaitFor>
bool processInFileEnds(const std::filesystem::path& path, WaitFor waitFor, int timeoutMs = 5000) {
    const pid_t pid = pidInFile(path);
    return pid > 0 && waitFor([pid] { return !processRuns(pid); }, timeoutMs);
}

}  // namespace quivra::test
