// What checking a merge costs: the bare ffmpeg run that writes the MP4, against the whole
// mergeStreams (room check, ffmpeg, fsync, the in-process read of the result and of both
// streams, rename), for one part of quality 80 (932 kB video, 34 kB audio); and what the
// tags and the cover add: the same mergeStreams with the tags of a part of a three-part
// video and the local site's cover attached, in the same rounds, plus the one fetch of the
// cover.
//   merge_bench [runs=20]
// Prints the median, the fastest and the slowest of each, and the ratio of the medians.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "bench_support.h"
#include "devsite/dev_site.h"
#include "download/job/command_runner.h"
#include "download/job/merge_command.h"
#include "download/job/merge_tags.h"
#include "download/job/video_cover.h"
#include "net/text_encoding.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const int runs = bench::runsArgument(argc, argv, 20);
    devsite::DevSite site;  // made only for its media files
    if (!site.start()) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::string part = std::string(devsite::kOnePartBvid) + "-3001-";
    const std::string video = site.mediaPath(part + "80.m4s");
    const std::string audio = site.mediaPath(part + "30280.m4s");
    const fs::path folder =
        fs::temp_directory_path() / ("quivra-merge-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string output = (folder / "01_p.mp4").string();

    quivra::DownloadRequest tagged;
    tagged.pageTitle = quivra::localText("第二段：途中");
    tagged.pageNumber = 2;
    tagged.outputPath = output;
    tagged.coverAddress = site.baseUrl() + "/cover/" + devsite::kThreePartBvid + ".jpg";
    tagged.tags = quivra::VideoTags{quivra::localText("三段 练习"),
                                    quivra::localText("晨光小站"),
                                    "2021-08-27",
                                    site.baseUrl() + "/video/" + devsite::kThreePartBvid,
                                    quivra::localText("Three short parts.\n三段短片。"),
                                    3};
    std::string cover;
    const double fetch = bench::millisecondsOf([&] { cover = quivra::fetchVideoCover(tagged); });
    if (cover.empty()) {
        std::fprintf(stderr, "the cover was not fetched\n");
        return 1;
    }
    const quivra::MergeExtras extras{quivra::partTags(tagged), cover};

    std::vector<double> bare;
    std::vector<double> checked;
    std::vector<double> withExtras;
    for (int i = 0; i < runs + 2; ++i) {  // two warm-up rounds
        int status = -1;
        const double ffmpeg = bench::millisecondsOf([&] {
            quivra::runCommand(quivra::mergeCommandLine(video, audio, output), nullptr, &status);
        });
        fs::remove(output);
        bool merged = false;
        const double whole =
            bench::millisecondsOf([&] { merged = quivra::mergeStreams(video, audio, output); });
        fs::remove(output);
        bool mergedWithExtras = false;
        const double extra = bench::millisecondsOf(
            [&] { mergedWithExtras = quivra::mergeStreams(video, audio, output, extras); });
        fs::remove(output);
        if (status != 0 || !merged || !mergedWithExtras) {
            std::fprintf(stderr, "merge failed (ffmpeg status %d)\n", status);
            return 1;
        }
        if (i >= 2) {
            bare.push_back(ffmpeg);
            checked.push_back(whole);
            withExtras.push_back(extra);
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);

    const bench::Spread plain = bench::spreadOf(bare);
    const bench::Spread full = bench::spreadOf(checked);
    const bench::Spread extended = bench::spreadOf(withExtras);
    std::printf("ffmpeg alone, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", runs,
                plain.median, plain.min, plain.max);
    std::printf("mergeStreams, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", runs,
                full.median, full.min, full.max);
    std::printf(
        "mergeStreams with tags and cover, %d runs: median %.1f ms, min %.1f ms, max "
        "%.1f ms; %.3f of mergeStreams without them\n",
        runs, extended.median, extended.min, extended.max, extended.median / full.median);
    std::printf("the cover's one fetch a video: %.1f ms\n", fetch);
    return 0;
}
