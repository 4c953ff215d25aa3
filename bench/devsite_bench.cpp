// Throughput and CPU cost of the local site's media server: 16 parallel range
// connections over one large file, paced and unpaced. The site runs in a child process
// so that its CPU time is measured apart from the clients'.
//   devsite_bench [bytes-per-second-per-connection=4000000] [file-MiB=256]
#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "devsite/dev_site.h"

namespace {

constexpr int kConnections = 16;

double cpuSeconds(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return 0;
    char buffer[1024] = {};
    const std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    std::string text(buffer, length);
    // Fields after the command name: state is field 3; utime and stime are 14 and 15.
    std::size_t at = text.rfind(')') + 2;
    for (int field = 3; field < 14; ++field) at = text.find(' ', at) + 1;
    unsigned long long user = 0, system = 0;
    std::sscanf(text.c_str() + at, "%llu %llu", &user, &system);
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Outcome {
    double seconds;
    double siteCpu;
    std::int64_t bytes;
};

Outcome fetchInRanges(int port, pid_t site, const std::string& name, std::int64_t size,
                      std::int64_t rate) {
    httplib::Client control("127.0.0.1", port);
    control.Post("/_devsite/speed?bytesPerSecond=" + std::to_string(rate), "", "text/plain");
    std::atomic<std::int64_t> received{0};
    const double cpuBefore = cpuSeconds(site);
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    const std::int64_t part = size / kConnections;
    for (int i = 0; i < kConnections; ++i) {
        clients.emplace_back([&, i] {
            const std::int64_t first = i * part,
                               last = i == kConnections - 1 ? size - 1 : first + part - 1;
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(120, 0);
            c.Get("/media/" + name,
                  {{"Range", "bytes=" + std::to_string(first) + "-" + std::to_string(last)}},
                  [&](const char*, std::size_t length) {
                      received += static_cast<std::int64_t>(length);
                      return true;
                  });
        });
    }
    for (auto& client : clients) client.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return {seconds, cpuSeconds(site) - cpuBefore, received.load()};
}

void report(const char* label, const Outcome& outcome, std::int64_t rate) {
    const double mb = static_cast<double>(outcome.bytes) / 1e6;
    std::printf("%-30s %8.1f MB in %6.2f s = %7.1f MB/s", label, mb, outcome.seconds,
                mb / outcome.seconds);
    if (rate > 0)
        std::printf(" (limit %d x %.1f MB/s = %.1f MB/s)", kConnections, rate / 1e6,
                    kConnections * rate / 1e6);
    std::printf("; site CPU %.2f s = %.1f%% of one core\n", outcome.siteCpu,
                100.0 * outcome.siteCpu / outcome.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rate = argc > 1 ? std::atoll(argv[1]) : 4'000'000;
    const std::int64_t size = (argc > 2 ? std::atoll(argv[2]) : 256) << 20;
    int port = 0, keepAlive = -1;
    devsite::Options options;
    options.largeFileBytes = size;
    const pid_t site = bench::startSiteProcess(options, port, keepAlive);
    if (site <= 0 || port <= 0) {
        std::fprintf(stderr, "the local site did not start\n");
        return 1;
    }
    const std::string name = std::string(devsite::kLargeBvid) + "-6101-80.m4s";
    std::printf("%d parallel range connections over a %lld MiB file\n", kConnections,
                static_cast<long long>(size >> 20));
    const Outcome paced = fetchInRanges(port, site, name, size, rate);
    report("paced", paced, rate);
    const Outcome unpaced = fetchInRanges(port, site, name, size, 0);
    report("unlimited", unpaced, 0);
    close(keepAlive);
    int status = 0;
    waitpid(site, &status, 0);
    const bool complete = paced.bytes == size && unpaced.bytes == size;
    if (!complete) std::fprintf(stderr, "incomplete transfer\n");
    return complete ? 0 : 1;
}
