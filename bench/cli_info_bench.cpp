// `quivra-downloader info` of the 1,000-part video, end to end: the real program started
// as a process (command line, config.ini, parse, quality list, output) against the local
// site in this process on loopback; beside it the same info from the program that also
// links the download engine and SQLite.
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
    const std::string base = local.site().baseUrl();
    bench::makeCommandFolder(local.folder(), base);

    // quivra-downloader runs info; quivra-downloader-downloads, which links everything the
    // command line uses (the download engine and SQLite too), runs the same info for
    // comparison. The runs take turns, so both see the same load.
    struct Variant {
        Variant(const char* name, bool asJson) : program(name), json(asJson) {}
        const char* program;
        bool json;
        std::vector<double> wall, cpu;
        size_t bytes = 0;
    };
    std::vector<Variant> variants = {{"quivra-downloader", false},
                                     {"quivra-downloader", true},
                                     {"quivra-downloader-downloads", false}};
    const auto once = [&](Variant& variant) {
        std::vector<std::string> args = {"info", devsite::kThousandPartBvid};
        if (variant.json) args.push_back("--json");
        const quivra::test::ProgramRun run =
            quivra::test::runProgram((local.folder() / variant.program).string(), args);
        if (run.status != 0) std::fprintf(stderr, "info failed: %s\n", run.err.c_str());
        variant.bytes = run.out.size();
    };
    for (Variant& variant : variants) once(variant);  // warm-up: page cache, first answers
    for (int i = 0; i < runs; ++i) {
        for (Variant& variant : variants) {
            const double before = childCpuMilliseconds();
            variant.wall.push_back(bench::millisecondsOf([&] { once(variant); }));
            variant.cpu.push_back(childCpuMilliseconds() - before);
        }
    }
    for (const Variant& variant : variants) {
        const bench::Spread wall = bench::spreadOf(variant.wall);
        const bench::Spread used = bench::spreadOf(variant.cpu);
        std::printf(
            "%s info%s (%zu bytes out, %d runs): wall median %.1f ms (min %.1f, max %.1f); "
            "program CPU median %.1f ms (min %.1f)\n",
            variant.program, variant.json ? " --json" : "", variant.bytes, runs, wall.median,
            wall.min, wall.max, used.median, used.min);
    }
    return 0;
}
