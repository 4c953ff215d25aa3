// Many addresses downloaded at once: each parsed (never more than two at a time), its parts
// planned at the default qualities as the download buttons plan theirs and handed to the
// download list. Runs on threads of its own; the window follows it through a BatchView.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_queue.h"
#include "video/listing/video_listing.h"
#include "video/parse_result.h"

namespace quivra {

class BatchView {
  public:
    virtual ~BatchView() = default;
    // The state of address `index` (local text): "解析中", "已加入N个分P" or
    // "解析失败：" and the reason, or the parse's text; a list address says how far its
    // listing got. Called from the batch's threads.
    virtual void showAddressState(size_t index, const std::string& text) = 0;
    // Every address is over (or the batch was stopped) and the batch holds the queue no
    // more: its owner may end it. The threads still hold the view a moment after.
    virtual void batchFinished() = 0;
};

// What adding a parsed video did: the parts submitted (-1 when the parse or the plan
// failed) and the text of the address (local text), "已加入N个分P", or what the parse or
// the plan said.
struct AddedVideo {
    int parts = -1;
    std::string text;
};

// Plans the chosen rows (none: every part) of the parsed video with the settings (folder,
// default qualities, tags, cover) and submits those not done. siteAddress: the site's main
// page (UTF-8).
AddedVideo addVideo(const ParseResult& parsed, const DownloadSettings& settings,
                    const std::string& siteAddress, DownloadQueue& queue,
                    std::optional<std::vector<int>> rows = std::nullopt);

// addVideo of every part, as its text.
std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue);

class BatchRun : public std::enable_shared_from_this<BatchRun> {
  public:
    static constexpr int kParsesAtOnce = 2;

    // What a run does with its item `index` (from 0), telling the view the item's states;
    // `stopped` turns true when the run is stopped. Called on the run's threads.
    using ItemWork = std::function<void(size_t index, DownloadQueue& queue, BatchView& view,
                                        const std::atomic<bool>& stopped)>;

    // Works the items in order, at most kParsesAtOnce at a time.
    static std::shared_ptr<BatchRun> start(size_t items, ItemWork work,
                                           std::shared_ptr<DownloadQueue> queue,
                                           std::shared_ptr<BatchView> view);

    // Starts parsing addresses (local text) with the settings of this moment. A list
    // address is listed with `lists` (the site, the login, the waits; its address is the
    // list's) and each video it can download is added into the list's folder; the other
    // addresses are videos. The plans name pages under lists.site.main.
    static std::shared_ptr<BatchRun> start(std::vector<std::string> addresses,
                                           DownloadSettings settings, ListingRequest lists,
                                           std::shared_ptr<DownloadQueue> queue,
                                           std::shared_ptr<BatchView> view);

    // No further item starts; those being worked finish (a listing stops at its next page).
    void stop() { stopped_ = true; }

    BatchRun(size_t items, ItemWork work, std::shared_ptr<DownloadQueue> queue,
             std::shared_ptr<BatchView> view);

  private:
    void work();

    const size_t items_;
    ItemWork work_;                         // let go with the queue
    std::shared_ptr<DownloadQueue> queue_;  // let go before batchFinished
    const std::shared_ptr<BatchView> view_;
    std::atomic<size_t> next_{0};
    std::atomic<int> working_{0};
    std::atomic<bool> stopped_{false};
};

}  // namespace quivra
