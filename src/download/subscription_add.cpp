#include "download/subscription_add.h"

#include <atomic>
#include <optional>
#include <utility>

#include "download/list_download.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// Stops the listing once the first page told the list's name.
class FirstPage : public ListingView {
  public:
    explicit FirstPage(std::atomic<bool>& stop) : stop_(stop) {}
    void showListInfo(const ListInfo&) override {
        told = true;
        stop_ = true;
    }
    void showEntries(size_t, const std::vector<ListEntry>&) override {}
    void showWaiting(const std::string&) override {}
    bool told = false;

  private:
    std::atomic<bool>& stop_;
};

}  // namespace

NewSubscription describeSubscription(Subscription wanted, ListingRequest lists,
                                     const DownloadSettings& settings) {
    NewSubscription made;
    const std::optional<ListAddress> address = recognizeListAddress(wanted.address, lists.site);
    if (!address) {
        made.failure = notAListText();
        return made;
    }
    if (!address->problem.empty()) {
        made.failure = address->problem;
        return made;
    }
    lists.address = *address;
    std::atomic<bool> stop{false};
    FirstPage view(stop);
    const ListingResult listing = listVideos(lists, &view, &stop);
    if (!view.told) {
        made.failure = listing.reason;
        return made;
    }
    wanted.kind = address->kind;
    wanted.name = listing.info.name;
    if (wanted.folder.empty())
        wanted.folder = listDownloadSettings(settings, listing.info).directory;
    wanted.intervalSeconds = checkInterval(wanted.intervalSeconds);
    made.subscription = std::move(wanted);
    return made;
}

}  // namespace quivra
