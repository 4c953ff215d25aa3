// A second start of the windows' program beside a running one: from its exec until it
// has handed its address over and ended, against what a start would cost without the
// hand-over: a whole copy from its exec until its window is up and takes addresses.
// Usage: second_start_bench [RUNS] (default 20).
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kBuilt = QUIVRA_BINARY_DIR "/program/quivra-downloader-window";

// A portable program folder of its own: config.ini and the lock live beside the program.
std::string programFolder(const std::string& name) {
    const fs::path folder = fs::temp_directory_path() / ("quivra-second-start-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(kBuilt, folder / "quivra-downloader-window");
    return (folder / "quivra-downloader-window").string();
}

pid_t start(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::freopen("/dev/null", "w", stderr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return child;
}

// Two starts at once race for the lock, and either may win: a second start waits until the
// first holds it (its flock in /proc/locks).
void waitForLock(pid_t copy) {
    const std::string holder = " " + std::to_string(copy) + " ";
    for (;;) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            if (line.find("FLOCK") != std::string::npos && line.find(holder) != std::string::npos) {
                return;
            }
        }
        ::usleep(500);
    }
}

int finish(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = bench::runsArgument(argc, argv, 20);
    const std::string address = "https://www.quivra.com/video/BV1xx411c7mD";

    // The running copy; the first hand-over also waits until its window is up.
    const std::string running = programFolder("running");
    const pid_t first = start(running, {});
    waitForLock(first);
    if (finish(start(running, {address})) != 0) {
        std::fprintf(stderr, "the first hand-over failed\n");
        return 1;
    }
    std::vector<double> handOver;
    std::vector<double> wholeStart;
    for (int i = 0; i < runs; ++i) {
        int status = 0;
        handOver.push_back(
            bench::millisecondsOf([&] { status = finish(start(running, {address})); }));
        // A fresh copy is ready for addresses once a second start gets through to it.
        const std::string fresh = programFolder("fresh");
        pid_t copy = 0;
        wholeStart.push_back(bench::millisecondsOf([&] {
            copy = start(fresh, {});
            waitForLock(copy);
            status |= finish(start(fresh, {address}));
        }));
        ::kill(copy, SIGKILL);
        finish(copy);
        if (status != 0) {
            std::fprintf(stderr, "a hand-over failed\n");
            return 1;
        }
    }
    ::kill(first, SIGKILL);
    finish(first);
    const bench::Spread a = bench::spreadOf(handOver);
    const bench::Spread b = bench::spreadOf(wholeStart);
    std::printf("second start until handed over: median %.1f ms (%.1f..%.1f)\n", a.median, a.min,
                a.max);
    std::printf("whole start until it takes addresses: median %.1f ms (%.1f..%.1f)\n", b.median,
                b.min, b.max);
    std::printf("ratio: %.3f\n", a.median / b.median);
    return 0;
}
