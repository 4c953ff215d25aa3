// One large stream from the local site, paced per connection: our engine against
// aria2c with 16 connections and against a single curl connection, in one run.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "devsite/dev_site.h"
#include "download/engine/download_engine.h"
#include "download/job/command_runner.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point began) {
    return std::chrono::duration<double>(Clock::now() - began).count();
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

bool sameFile(const fs::path& got, const std::string& expected) {
    int status = -1;
    quivra::runCommand("cmp -s " + quoted(got.string()) + " " + quoted(expected), nullptr, &status);
    return status == 0;
}

// Engine start to the completed file, woken by the engine when the task's state changes.
double timeEngine(const std::string& url, const fs::path& folder) {
    auto began = Clock::now();
    quivra::DownloadEngine engine;
    if (!engine.init(folder.string(), true)) return -1;
    std::uint32_t task = engine.createTask(url, "", "", "engine.bin", folder.string(), 0, 1, 0);
    if (task == 0 || !engine.startTask(task)) return -1;
    quivra::EngineState state = engine.taskState(task);
    while (state != quivra::kStateComplete) {
        if (state == quivra::kStateError || state == quivra::kStateNoItem) return -1;
        state = engine.waitTaskState(task, state, std::chrono::milliseconds(300));
    }
    double seconds = secondsSince(began);
    engine.uninit();
    return seconds;
}

double timeCommand(const std::string& command) {
    auto began = Clock::now();
    int status = -1;
    quivra::runCommand(command, nullptr, &status);
    return status == 0 ? secondsSince(began) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 256;
    const std::int64_t rate = argc > 2 ? std::atoll(argv[2]) : 4000000;

    devsite::Options options;
    options.largeFileBytes = megabytes << 20;
    options.bytesPerSecond = rate;
    options.maxConnections = 48;
    options.threads = 80;
    devsite::DevSite site(options);
    if (!site.start()) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::string media = std::string(devsite::kLargeBvid) + "-6101-80.m4s";
    const std::string url = site.baseUrl() + "/media/" + media;
    const std::string source = site.mediaPath(media);
    const fs::path folder =
        fs::temp_directory_path() / ("quivra-download-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::printf("file: %lld MiB, site limit %lld bytes/s per connection\n",
                static_cast<long long>(megabytes), static_cast<long long>(rate));

    const double engine = timeEngine(url, folder);
    const bool engineOk = engine > 0 && sameFile(folder / "engine.bin", source);
    fs::remove(folder / "engine.bin");
    std::printf("our engine          : %8.2f s %s\n", engine, engineOk ? "" : "(FAILED)");

    const double aria2c = timeCommand(
        "aria2c -q -x16 -s16 -k1M --file-allocation=none "
        "--allow-overwrite=true -d " +
        quoted(folder.string()) + " -o aria2c.bin " + quoted(url));
    fs::remove(folder / "aria2c.bin");
    std::printf("aria2c -x16 -s16 -k1M: %8.2f s\n", aria2c);

    const double curl =
        timeCommand("curl -s -f -o " + quoted((folder / "curl.bin").string()) + " " + quoted(url));
    fs::remove(folder / "curl.bin");
    std::printf("curl, one connection: %8.2f s\n", curl);
    fs::remove_all(folder);

    if (!engineOk || aria2c <= 0 || curl <= 0) return 1;
    const double versusAria2c = engine / aria2c;
    const double versusCurl = curl / engine;
    std::printf("engine / aria2c     : %8.3f  (target <= 1.10) %s\n", versusAria2c,
                versusAria2c <= 1.10 ? "met" : "MISSED");
    std::printf("curl / engine       : %8.2f  (target >= 8) %s\n", versusCurl,
                versusCurl >= 8 ? "met" : "MISSED");
    return versusAria2c <= 1.10 && versusCurl >= 8 ? 0 : 2;
}
