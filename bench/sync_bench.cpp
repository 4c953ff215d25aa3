// `quivra-downloader sync --now` over many subscriptions with nothing new: the real program
// against the local site in this process; the requests it sends and its time.
//   sync_bench [subscriptions] [runs]
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "download/list/download_store.h"
#include "download/subscription/subscription_store.h"
#include "support/run_program.h"

int main(int argc, char** argv) {
    const int count = bench::runsArgument(argc, argv, 100);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    bench::LocalSite local("quivra-sync-bench");
    if (!local.start()) return 1;
    const std::string base = local.site().baseUrl();
    bench::makeCommandFolder(local.folder(), base);

    // The kinds in turn: uploaders (signed), a favourites folder, a series, a season.
    const std::vector<std::pair<quivra::ListKind, std::string>> lists = {
        {quivra::ListKind::Uploader, base + "/20000"},
        {quivra::ListKind::Uploader, base + "/20003"},
        {quivra::ListKind::Favourites, "ml30001"},
        {quivra::ListKind::Series, base + "/20000/lists/50001?type=series"},
        {quivra::ListKind::Season, "ss60001"}};
    {
        auto store =
            quivra::SubscriptionStore::open((local.folder() / "downloads.db").string()).store;
        if (!store) return 1;
        for (int i = 0; i < count; ++i) {
            quivra::Subscription subscription;
            const auto& [kind, address] = lists[static_cast<size_t>(i) % lists.size()];
            subscription.kind = kind;
            subscription.address = address;
            subscription.name = "list " + std::to_string(i);
            subscription.folder = (local.folder() / "downloads").string();
            subscription.since = std::time(nullptr);
            store->add(subscription);
        }
    }
    const auto sync = [&] {
        const quivra::test::ProgramRun run = quivra::test::runProgram(
            (local.folder() / "quivra-downloader").string(), {"sync", "--now"});
        if (run.status != 0) std::fprintf(stderr, "sync failed: %s\n", run.err.c_str());
    };
    sync();  // warm-up: the first checks
    std::vector<double> wall;
    std::map<std::string, size_t> paths;
    for (int i = 0; i < runs; ++i) {
        local.site().clearRequests();
        wall.push_back(bench::millisecondsOf(sync));
        paths.clear();
        for (const devsite::RecordedRequest& request : local.site().requests())
            ++paths[request.path];
    }
    const bench::Spread spread = bench::spreadOf(wall);
    size_t requests = 0;
    for (const auto& [path, sent] : paths) requests += sent;
    std::printf(
        "%d subscriptions, nothing new: sync --now %.0f ms median (%.0f to %.0f), "
        "%zu requests\n",
        count, spread.median, spread.min, spread.max, requests);
    for (const auto& [path, sent] : paths) std::printf("  %5zu %s\n", sent, path.c_str());
    return 0;
}
