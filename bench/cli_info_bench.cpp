// `quivra-downloader info` of the 1,000-part video, end to end: the real program started
// as a process (command line, config.ini, parse, quality list, output) against the local
// site in this process on loopback.
//   cli_info_bench [runs]
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "support/run_program.h"

namespace {

// CPU time (user + system) of the ended child processes so far, in milliseconds.
double childCpuMilliseconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 50);
    bench::LocalSite local("quivra-cli-bench");
    if (!local.start()) return 1;
    namespace fs = std::filesystem;
    const fs::path program = local.folder() / "quivra-downloader";
    std::error_code error;
    fs::create_hard_link(QUIVRA_BINARY_DIR "/program/quivra-downloader", program, error);
    if (error) fs::copy_file(QUIVRA_BINARY_DIR "/program/quivra-downloader", program);
    const std::string base = local.site().baseUrl();
    if (std::FILE* config = std::fopen((local.folder() / "config.ini").c_str(), "w")) {
        std::fprintf(config, "[site]\napi=%s\nlogin=%s\nmain=%s\nspace=%s\n", base.c_str(),
                     base.c_str(), base.c_str(), base.c_str());
        std::fclose(config);
    }

    for (const bool json : {false, true}) {
        std::vector<std::string> args = {"info", devsite::kThousandPartBvid};
        if (json) args.push_back("--json");
        size_t lines = 0;
        auto once = [&] {
            const quivra::test::ProgramRun run = quivra::test::runProgram(program.string(), args);
            if (run.status != 0) std::fprintf(stderr, "info failed: %s\n", run.err.c_str());
            lines = run.out.size();
        };
        once();  // warm-up: page cache, the site's first answer
        std::vector<double> times, cpu;
        for (int i = 0; i < runs; ++i) {
            const double before = childCpuMilliseconds();
            times.push_back(bench::millisecondsOf(once));
            cpu.push_back(childCpuMilliseconds() - before);
        }
        const bench::Spread wall = bench::spreadOf(times);
        const bench::Spread used = bench::spreadOf(cpu);
        std::printf(
            "info%s (%zu bytes out, %d runs): wall median %.1f ms (min %.1f, max %.1f); "
            "program CPU median %.1f ms (min %.1f)\n",
            json ? " --json" : "", lines, runs, wall.median, wall.min, wall.max, used.median,
            used.min);
    }
    return 0;
}
