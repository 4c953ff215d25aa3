// What the benchmarks share: the run count argument, timing, the spread of timed runs and
// the local site, in this process with a program folder or in a child process of its own.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/shared_state.h"
#include "devsite/dev_site.h"

namespace bench {

// The first argument as a count of runs, at least 1; `fallback` when there is none.
inline int runsArgument(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

// Wall time of one call.
inline double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The median, the fastest and the slowest of some timed runs.
struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

inline Spread spreadOf(std::vector<double> milliseconds) {
    if (milliseconds.empty()) return {};
    std::sort(milliseconds.begin(), milliseconds.end());
    return {milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back()};
}

// Median wall time of `runs` calls.
inline double medianMilliseconds(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(millisecondsOf(work));
    return spreadOf(std::move(times)).median;
}

// The local site in this process and a program folder <temp>/<prefix>-<pid> whose shared
// records point every site address at it. The folder goes with the object.
class LocalSite {
  public:
    explicit LocalSite(const std::string& prefix)
        : folder_(std::filesystem::temp_directory_path() /
                  (prefix + "-" + std::to_string(::getpid()))) {}
    ~LocalSite() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    LocalSite(const LocalSite&) = delete;
    LocalSite& operator=(const LocalSite&) = delete;

    // False, after saying so on stderr, when the site does not start.
    bool start() {
        if (!site_.start()) {
            std::fprintf(stderr, "the local site did not start\n");
            return false;
        }
        std::error_code ignored;
        std::filesystem::create_directories(folder_, ignored);
        quivra::loadSharedState(folder_.string());
        quivra::SiteAddresses& site = quivra::sharedState().site;
        site.api = site.login = site.main = site_.baseUrl();
        return true;
    }

    devsite::DevSite& site() { return site_; }
    const std::filesystem::path& folder() const { return folder_; }

  private:
    devsite::DevSite site_;
    std::filesystem::path folder_;
};

// A portable program folder for the command line: its two programs linked (or copied) in,
// and a config.ini whose site addresses are `base`.
inline void makeCommandFolder(const std::filesystem::path& folder, const std::string& base) {
    namespace fs = std::filesystem;
    for (const char* name : {"quivra-downloader", "quivra-downloader-downloads"}) {
        std::error_code error;
        fs::create_hard_link(fs::path(QUIVRA_BINARY_DIR "/program") / name, folder / name, error);
        if (error) fs::copy_file(fs::path(QUIVRA_BINARY_DIR "/program") / name, folder / name);
    }
    if (std::FILE* config = std::fopen((folder / "config.ini").c_str(), "w")) {
        std::fprintf(config, "[site]\napi=%s\nlogin=%s\nmain=%s\nspace=%s\n", base.c_str(),
                     base.c_str(), base.c_str(), base.c_str());
        std::fclose(config);
    }
}

// Runs the site in a child process, so that its CPU time is apart from this one's, until
// `keepAlive` is closed. Returns the child's id (-1 on failure) and the site's port (0 when
// it did not start).
inline pid_t startSiteProcess(const devsite::Options& options, int& port, int& keepAlive) {
    int portPipe[2], lifePipe[2];
    if (pipe(portPipe) != 0 || pipe(lifePipe) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(portPipe[0]);
        close(lifePipe[1]);
        devsite::DevSite site(options);
        int started = site.start() ? site.port() : 0;
        if (write(portPipe[1], &started, sizeof started) != sizeof started) _exit(1);
        char ignored;
        while (read(lifePipe[0], &ignored, 1) > 0) {
        }
        site.stop();
        _exit(0);
    }
    close(portPipe[1]);
    close(lifePipe[0]);
    if (read(portPipe[0], &port, sizeof port) != sizeof port) port = 0;
    close(portPipe[0]);
    keepAlive = lifePipe[1];
    return child;
}

}  // namespace bench
