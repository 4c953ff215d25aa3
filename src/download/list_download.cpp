#include "download/list_download.h"

#include <atomic>
#include <utility>

#include "download/plan/download_files.h"
#include "download/plan/download_plan.h"
#include "download/plan/file_template.h"
#include "net/text_encoding.h"
#include "video/listing/entry_filter.h"
#include "video/listing/season_parse.h"
#include "video/title_cleaning.h"
#include "video/video_parse.h"

namespace quivra {

namespace {

// A chosen index past the listing's end.
std::string noSuchEntryText() {
    return localText("解析失败：列表中没有这一项");
}

// One video of a list: parsed and added whole, unless the listing said it cannot be.
AddedVideo addListedVideo(const ListEntry& entry, const std::string& listName,
                          const DownloadSettings& settings, const std::string& siteAddress,
                          DownloadQueue& queue) {
    if (!entry.unavailable.empty()) return {-1, entry.unavailable};
    return addVideo(parseVideo(entry.bvid, formatAskOf(settings)), settings, siteAddress, queue,
                    listName);
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
            added[i].text = noSuchEntryText();
        } else if (!listing.entries[chosen[i]].unavailable.empty()) {
            added[i].text = listing.entries[chosen[i]].unavailable;
        } else {
            rows.push_back(static_cast<int>(chosen[i]));
        }
    }
    if (rows.empty()) return added;
    const ParseResult season = parseSeason(listing, formatAskOf(settings));
    std::string refusal;
    DownloadPlan plan;
    if (season.failure != ParseFailure::None) {
        refusal = parseText(season);
    } else {
        PartSelection selection;
        selection.rows = rows;
        selection.listName = listing.info.name;
        plan = planDownloads(season, selection, settings, siteAddress);
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

// The batch's row while its list is read: "已列出N/总数", or the site's wait.
class ListedCount : public ListingView {
  public:
    ListedCount(BatchView& view, size_t row) : view_(view), row_(row) {}
    void showListInfo(const ListInfo& info) override {
        total_ = info.total;
        showCount();
    }
    void showEntries(size_t first, const std::vector<ListEntry>& entries) override {
        listed_ = first + entries.size();
        showCount();
    }
    void showWaiting(const std::string& text) override { view_.showAddressState(row_, text); }

  private:
    void showCount() {
        view_.showAddressState(row_, localText("已列出") + std::to_string(listed_) + "/" +
                                         (total_ >= 0 ? std::to_string(total_) : "?"));
    }
    BatchView& view_;
    const size_t row_;
    size_t listed_ = 0;
    int total_ = -1;
};

// What a batch row says once its list's videos are all added.
std::string listAddedText(int parts, int failures, const std::string& stoppedReason) {
    std::string text = partsAddedText(parts);
    if (failures > 0) text += localText("，") + std::to_string(failures) + localText("个视频失败");
    if (!stoppedReason.empty()) text += localText("；") + stoppedReason;
    return text;
}

// A batch row's list being added by the run's tasks; the task that ends last tells the row.
struct ListProgress {
    size_t row = 0;
    size_t videos = 0;
    std::string stoppedReason;
    std::atomic<size_t> started{0};
    std::atomic<size_t> ended{0};
    std::atomic<int> parts{0};
    std::atomic<int> failures{0};
};

}  // namespace

DownloadSettings listDownloadSettings(DownloadSettings settings, const ListInfo& info) {
    if (info.kind == ListKind::Season || placesListName(settings.fileNameTemplate)) return settings;
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
    auto folder = std::make_shared<const DownloadSettings>(
        listDownloadSettings(std::move(settings), listing.info));
    std::vector<BatchRun::Task> tasks;
    if (listing.info.kind == ListKind::Season) {
        tasks.push_back([shared, chosen, folder, siteAddress](BatchRun&, DownloadQueue& queue,
                                                              BatchView& view) {
            for (size_t i = 0; i < chosen.size(); ++i) {
                view.showAddressState(i, localText("解析中"));
            }
            const std::vector<AddedVideo> added =
                addSeasonEpisodes(*shared, chosen, *folder, siteAddress, queue);
            for (size_t i = 0; i < added.size(); ++i) view.showAddressState(i, added[i].text);
        });
    } else {
        for (size_t index = 0; index < chosen.size(); ++index) {
            tasks.push_back([shared, entry = chosen[index], index, folder, siteAddress](
                                BatchRun&, DownloadQueue& queue, BatchView& view) {
                if (entry >= shared->entries.size()) {
                    view.showAddressState(index, noSuchEntryText());
                    return;
                }
                const ListEntry& video = shared->entries[entry];
                if (video.unavailable.empty()) view.showAddressState(index, localText("解析中"));
                view.showAddressState(
                    index,
                    addListedVideo(video, shared->info.name, *folder, siteAddress, queue).text);
            });
        }
    }
    return BatchRun::start(std::move(tasks), std::move(queue), std::move(view));
}

void addListAddress(BatchRun& run, size_t row, const ListingRequest& request,
                    const DownloadSettings& settings, DownloadQueue& queue, BatchView& view) {
    ListedCount count(view, row);
    const ListingResult listing = listVideos(request, &count, &run.stopped());
    const std::vector<size_t> chosen = filterEntries(listing.entries, {});
    if (chosen.empty() && !listing.reason.empty()) {
        view.showAddressState(row, localText("解析失败：") + listing.reason);
        return;
    }
    const std::string stoppedReason = listing.complete ? std::string() : listing.reason;
    if (chosen.empty()) {
        view.showAddressState(row, listAddedText(0, 0, stoppedReason));
        return;
    }
    if (listing.info.kind == ListKind::Season) {
        int parts = 0;
        int failures = 0;
        for (const AddedVideo& added :
             addSeasonEpisodes(listing, chosen, settings, request.site.main, queue)) {
            if (added.parts < 0) {
                ++failures;
            } else {
                parts += added.parts;
            }
        }
        view.showAddressState(row, listAddedText(parts, failures, stoppedReason));
        return;
    }
    auto progress = std::make_shared<ListProgress>();
    progress->row = row;
    progress->videos = chosen.size();
    progress->stoppedReason = stoppedReason;
    auto folder =
        std::make_shared<const DownloadSettings>(listDownloadSettings(settings, listing.info));
    for (const size_t index : chosen) {
        run.add([progress, folder, entry = listing.entries[index], list = listing.info.name,
                 site = request.site.main](BatchRun&, DownloadQueue& queue, BatchView& view) {
            const size_t number = ++progress->started;
            view.showAddressState(progress->row, localText("正在加入") + std::to_string(number) +
                                                     "/" + std::to_string(progress->videos));
            const AddedVideo added = addListedVideo(entry, list, *folder, site, queue);
            if (added.parts < 0) {
                ++progress->failures;
            } else {
                progress->parts += added.parts;
            }
            if (++progress->ended == progress->videos) {
                view.showAddressState(
                    progress->row,
                    listAddedText(progress->parts, progress->failures, progress->stoppedReason));
            }
        });
    }
}

}  // namespace quivra
