// Conversion cost of a large answer body: utf8ToLocalText and back on a UTF-8 text the
// size of a 1,000-part video-information answer, plus the start-up read of config.ini.
// Prints the median of the timed runs for each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/config_file.h"
#include "bench_support.h"
#include "net/text_encoding.h"

int main(int argc, char** argv) {
    const int runs = bench::runsArgument(argc, argv, 50);

    std::string body = "{\"code\":0,\"data\":{\"pages\":[";
    for (int i = 1; i <= 1000; ++i) {
        body += "{\"cid\":" + std::to_string(100000 + i) + ",\"page\":" + std::to_string(i) +
                ",\"part\":\"第" + std::to_string(i) +
                "集 视频下载器测试 part\",\"duration\":" + std::to_string(60 + i) + "},";
    }
    body += "{}]}}";
    const std::string local = quivra::utf8ToLocalText(body);
    size_t sink = 0;
    const double toLocal =
        bench::medianMilliseconds(runs, [&] { sink += quivra::utf8ToLocalText(body).size(); });
    const double toUtf8 =
        bench::medianMilliseconds(runs, [&] { sink += quivra::localToUtf8(local).size(); });

    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("quivra-encoding-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string config = (folder / "config.ini").string();
    quivra::writeConfigItem(config, "user", "cookie", std::string(2000, 'c'));
    quivra::writeConfigItem(config, "user", "name", local.substr(0, 40));
    quivra::writeConfigItem(config, "download", "threadNumber", "3");
    const double startRead = bench::medianMilliseconds(runs, [&] {
        sink += quivra::loadUserRecord(config).cookie.size();
        sink += quivra::loadDownloadSettings(config, folder.string()).directory.size();
        sink += quivra::loadSiteAddresses(config).api.size();
    });
    const double oneWrite = bench::medianMilliseconds(
        std::min(runs, 20), [&] { quivra::writeConfigItem(config, "user", "mid", "12345"); });
    std::filesystem::remove_all(folder);

    std::printf("body %zu bytes: utf8ToLocalText median %.3f ms, localToUtf8 median %.3f ms\n",
                body.size(), toLocal, toUtf8);
    std::printf("config.ini start-up read (19 items) median %.3f ms; one write median %.3f ms\n",
                startRead, oneWrite);
    return sink == 0 ? 1 : 0;
}
