// Many addresses downloaded at once: each parsed (never more than two at a time), its parts
// planned at the default qualities as the download buttons plan theirs and handed to the
// download list. Runs on threads of its own; the window follows it through a BatchView.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_queue.h"
#include "video/parse_result.h"

namespace quivra {

class BatchView {
  public:
    virtual ~BatchView() = default;
    // The state of address `index` (local text): "解析中", "已加入N个分P" or
    // "解析失败：" and the reason, or the parse's text. Called from the batch's threads.
    virtual void showAddressState(size_t index, const std::string& text) = 0;
    // Every address is over (or the batch was stopped) and the batch holds the queue no
    // more: its owner may end it. The threads still hold the view a moment after.
    virtual void batchFinished() = 0;
};

// Plans every part of the parsed video with the settings (folder, default qualities, tags,
// cover) and submits those not done: the text of the address (local text), "已加入N个分P",
// or what the parse or the plan said. siteAddress: the site's main page (UTF-8).
std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue);

class BatchRun : public std::enable_shared_from_this<BatchRun> {
  public:
    static constexpr int kParsesAtOnce = 2;

    // Starts parsing addresses (local text) with the settings of this moment; siteAddress:
    // the site's main page (UTF-8).
    static std::shared_ptr<BatchRun> start(std::vector<std::string> addresses,
                                           DownloadSettings settings, std::string siteAddress,
                                           std::shared_ptr<DownloadQueue> queue,
                                           std::shared_ptr<BatchView> view);

    // No further address starts; those being parsed finish.
    void stop() { stopped_ = true; }

    BatchRun(std::vector<std::string> addresses, DownloadSettings settings, std::string siteAddress,
             std::shared_ptr<DownloadQueue> queue, std::shared_ptr<BatchView> view);

  private:
    void work();

    const std::vector<std::string> addresses_;
    const DownloadSettings settings_;
    const std::string siteAddress_;
    std::shared_ptr<DownloadQueue> queue_;  // let go before batchFinished
    const std::shared_ptr<BatchView> view_;
    std::atomic<size_t> next_{0};
    std::atomic<int> working_{0};
    std::atomic<bool> stopped_{false};
};

}  // namespace quivra
