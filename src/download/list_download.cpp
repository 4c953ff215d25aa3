#include "download/list_download.h"

#include <optional>
#include <utility>

#include "download/plan/download_files.h"
#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/listing/season_parse.h"
#include "video/title_cleaning.h"
#include "video/video_parse.h"

namespace quivra {

namespace {

std::string partsAddedText(int parts) {
    return localText("已加入") + std::to_string(parts) + localText("个分P");
}

// One video of a list: parsed and added whole, unless the listing said it cannot be.
AddedVideo addListedVideo(const ListEntry& entry, const DownloadSettings& settings,
                          const std::string& siteAddress, DownloadQueue& queue) {
    if (!entry.unavailable.empty()) return {-1, entry.unavailable};
    return addVideo(parseVideo(entry.bvid), settings, siteAddress, queue);
}

// The chosen episodes of a listed season, planned as rows of its one parse: what became of
// each chosen one, in the order of `chosen`.
std::vector<AddedVideo> addSeasonEpisodes(const ListingResult& listing,
                                          const std::vector<size_t>& chosen,
                                          const DownloadSettings& settings,
                                          const std::string& siteAddress, DownloadQueue& queue) {
    std::vector<AddedVideo> added(chosen.size());
    std::vector<int> rows;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (chosen[i] >= listing.entries.size()) {
            added[i].text = localText("解析失败：没有这一集");
        } else if (!listing.entries[chosen[i]].unavailable.empty()) {
            added[i].text = listing.entries[chosen[i]].unavailable;
        } else {
            rows.push_back(static_cast<int>(chosen[i]));
        }
    }
    if (rows.empty()) return added;
    const ParseResult season = parseSeason(listing);
    std::string refusal;
    DownloadPlan plan;
    if (season.failure != ParseFailure::None) {
        refusal = parseText(season);
    } else {
        plan = planDownloads(season, {rows}, settings, siteAddress);
        if (!plan.refusal.empty()) refusal = localText("解析失败：") + plan.refusal;
    }
    // The parts each row brought: its row is its page number's.
    std::vector<int> parts(listing.entries.size(), -1);
    for (const DownloadRequest& part : plan.requests) {
        queue.submit(part);
        parts[static_cast<size_t>(part.pageNumber - 1)] = 1;
    }
    for (const DownloadRequest& part : plan.done)
        parts[static_cast<size_t>(part.pageNumber - 1)] = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (!added[i].text.empty()) continue;
        added[i].parts = parts[chosen[i]];
        added[i].text = added[i].parts >= 0 ? partsAddedText(added[i].parts) : refusal;
    }
    return added;
}

}  // namespace

DownloadSettings listDownloadSettings(DownloadSettings settings, const ListInfo& info) {
    if (info.kind == ListKind::Season) return settings;
    const std::string name = cleanTitle(info.name);
    settings.directory +=
        "/" + videoFolderName(name.empty() ? localText("视频列表") : name, std::string());
    return settings;
}

std::shared_ptr<BatchRun> startListDownload(const ListingResult& listing,
                                            const std::vector<size_t>& chosen,
                                            DownloadSettings settings, std::string siteAddress,
                                            std::shared_ptr<DownloadQueue> queue,
                                            std::shared_ptr<BatchView> view) {
    auto shared = std::make_shared<const ListingResult>(listing);
    settings = listDownloadSettings(std::move(settings), listing.info);
    if (listing.info.kind == ListKind::Season) {
        BatchRun::ItemWork work = [shared, chosen, settings, siteAddress](
                                      size_t, DownloadQueue& queue, BatchView& view,
                                      const std::atomic<bool>&) {
            for (size_t i = 0; i < chosen.size(); ++i)
                view.showAddressState(i, localText("解析中"));
            const std::vector<AddedVideo> added =
                addSeasonEpisodes(*shared, chosen, settings, siteAddress, queue);
            for (size_t i = 0; i < added.size(); ++i) view.showAddressState(i, added[i].text);
        };
        return BatchRun::start(1, std::move(work), std::move(queue), std::move(view));
    }
    BatchRun::ItemWork work = [shared, chosen, settings, siteAddress](
                                  size_t index, DownloadQueue& queue, BatchView& view,
                                  const std::atomic<bool>&) {
        if (chosen[index] >= shared->entries.size()) return;
        const ListEntry& entry = shared->entries[chosen[index]];
        if (entry.unavailable.empty()) view.showAddressState(index, localText("解析中"));
        view.showAddressState(index, addListedVideo(entry, settings, siteAddress, queue).text);
    };
    return BatchRun::start(chosen.size(), std::move(work), std::move(queue), std::move(view));
}

}  // namespace quivra
