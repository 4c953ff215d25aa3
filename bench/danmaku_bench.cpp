// Bullet comments to an ASS subtitle: 100,000 comments of every mode, size and colour in a
// 20-minute part, read from the site's XML and written as ASS, by this program's converter
// and, in the same run, by the script a user would otherwise run (danmaku_script.py). Each
// conversion runs in a process of its own, so its peak memory is its own.
//
//   build/bench/danmaku_bench [runs] [comments]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "video/comments/danmaku.h"
#include "video/comments/danmaku_ass.h"

namespace {

std::string commentsXml(int count) {
    static constexpr int kModes[] = {1, 1, 1, 1, 4, 5, 2, 3, 1, 7};
    static constexpr int kSizes[] = {25, 25, 18, 36};
    static constexpr long kColors[] = {16777215, 16777215, 16711680, 65280, 255, 16776960};
    static const char* const kTexts[] = {
        "前方高能", "哈哈哈哈哈哈", "&lt;3 &amp; 🎉", "第一次看到这么长的弹幕从右边一直飘到左边",
        "w",        "노래 좋다",    "かわいい",      "{\\pos(0,0)}不在左上角"};
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><i><chatid>1</chatid>";
    const double seconds = 20 * 60;
    for (int i = 0; i < count; ++i) {
        char p[128];
        std::snprintf(p, sizeof p, "%.3f,%d,%d,%ld,1700000000,0,u%d,%d", seconds * i / count,
                      kModes[i % 10], kSizes[i % 4], kColors[i % 6], i % 997, i + 1);
        xml += std::string("<d p=\"") + p + "\">" + kTexts[i % 8] + "</d>";
    }
    return xml + "</i>";
}

// The child's side: reads the XML, converts it and writes the ASS.
int convert(const char* source, const char* target) {
    std::ifstream in(source, std::ios::binary);
    std::string xml(std::filesystem::file_size(source), '\0');
    in.read(xml.data(), static_cast<std::streamsize>(xml.size()));
    const quivra::DanmakuList list = quivra::parseDanmakuXml(xml);
    const quivra::DanmakuAss ass = quivra::danmakuToAss(list, quivra::DanmakuStyle{}, 1920, 1080);
    std::ofstream(target, std::ios::binary) << ass.text;
    std::fprintf(stderr, "%zu comments read, %d shown, %d hidden, %d crowded out\n",
                 list.comments.size(), ass.shown, ass.hidden, ass.crowded);
    return 0;
}

struct Run {
    double milliseconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

// One process from start to exit: its wall time and peak resident memory.
Run runProcess(const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

Run medianRun(int runs, const std::vector<std::string>& arguments) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) all.push_back(runProcess(arguments));
    std::sort(all.begin(), all.end(),
              [](const Run& a, const Run& b) { return a.milliseconds < b.milliseconds; });
    Run median = all[all.size() / 2];
    for (const Run& run : all) median.ok = median.ok && run.ok;
    return median;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--convert") return convert(argv[2], argv[3]);
    const int runs = bench::runsArgument(argc, argv, 5);
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("danmaku-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string xml = (folder / "comments.xml").string();
    std::ofstream(xml, std::ios::binary) << commentsXml(count);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string script = std::string(QUIVRA_SOURCE_DIR) + "/bench/danmaku_script.py";

    std::string comments(std::filesystem::file_size(xml), '\0');
    std::ifstream(xml, std::ios::binary)
        .read(comments.data(), static_cast<std::streamsize>(comments.size()));
    const double alone = bench::medianMilliseconds(runs, [&] {
        const quivra::DanmakuList list = quivra::parseDanmakuXml(comments);
        quivra::danmakuToAss(list, quivra::DanmakuStyle{}, 1920, 1080);
    });
    comments = {};
    const Run ours = medianRun(runs, {self, "--convert", xml, (folder / "ours.ass").string()});
    const Run theirs = medianRun(runs, {"python3", script, xml, (folder / "script.ass").string()});
    std::printf("%d comments, XML %.1f MB, median of %d runs\n", count,
                std::filesystem::file_size(xml) / 1e6, runs);
    std::printf("| converter | time | peak memory |\n|---|---|---|\n");
    std::printf(
        "| this program (parseDanmakuXml + danmakuToAss, whole process) | %.0f ms | %.1f MB |\n",
        ours.milliseconds, ours.peakKilobytes / 1024.0);
    std::printf("| this program, the conversion alone (in memory) | %.0f ms | |\n", alone);
    std::printf("| script (python3 danmaku_script.py) | %.0f ms | %.1f MB |\n", theirs.milliseconds,
                theirs.peakKilobytes / 1024.0);
    std::printf("ratio (program / script): time %.2f, memory %.2f\n",
                ours.milliseconds / theirs.milliseconds,
                static_cast<double>(ours.peakKilobytes) / theirs.peakKilobytes);
    if (!std::getenv("DANMAKU_BENCH_KEEP")) std::filesystem::remove_all(folder);
    return ours.ok && theirs.ok ? 0 : 1;
}
