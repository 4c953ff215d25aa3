#include "download/subscription/subscription_check.h"

#include <atomic>
#include <ctime>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/format_ask.h"
#include "video/listing/season_parse.h"
#include "video/video_parse.h"

namespace quivra {

namespace {

// Lists whose pages run from the newest: a page reaching back before `since` ends the read.
bool listsNewestFirst(ListKind kind) {
    return kind == ListKind::Uploader || kind == ListKind::Favourites || kind == ListKind::Series;
}

// What a subscription remembers an entry by: its bvid, or its aid where it has none.
std::string entryKey(const ListEntry& entry) {
    return entry.bvid.empty() ? "av" + entry.aid : entry.bvid;
}

bool isOld(const ListEntry& entry, const Subscription& subscription) {
    return !subscription.backCatalogue && entry.published > 0 &&
           entry.published < subscription.since;
}

// Ends the listing after the first page that holds a video seen before (or, on a list
// from the newest, one older than the subscription): the rest is known.
class ReadUntilSeen : public ListingView {
  public:
    ReadUntilSeen(const std::set<std::string>& seen, const Subscription& subscription,
                  std::atomic<bool>& stop)
        : seen_(seen), subscription_(subscription), stop_(stop) {}

    void showListInfo(const ListInfo&) override {}
    void showWaiting(const std::string&) override {}
    void showEntries(size_t, const std::vector<ListEntry>& entries) override {
        const bool fromNewest = listsNewestFirst(subscription_.kind);
        for (const ListEntry& entry : entries) {
            if (seen_.count(entryKey(entry)) != 0 || (fromNewest && isOld(entry, subscription_)))
                stop_ = true;
        }
    }

  private:
    const std::set<std::string>& seen_;
    const Subscription& subscription_;
    std::atomic<bool>& stop_;
};

class Check {
  public:
    Check(const Subscription& subscription, CheckContext& context)
        : subscription_(subscription), context_(context) {
        outcome_.checked = subscription;
        settings_ = context.settings;
        settings_.directory = subscription.folder;
        selection_.listName = subscription.name;
        if (!subscription.quality.empty()) settings_.defaultVideoQuality = subscription.quality;
        if (!subscription.audio.empty()) settings_.defaultAudioQuality = subscription.audio;
    }

    CheckOutcome run() {
        const std::optional<ListAddress> address =
            recognizeListAddress(subscription_.address, context_.lists.site);
        if (!address) return finish(notAListText());
        seen_ = context_.store.seenVideos(subscription_.id);
        context_.queue.visitItems([this](const DownloadItem& item) {
            if (item.state == ItemState::Done) doneInList_.insert(item.request.bvid);
        });
        ListingRequest request = context_.lists;
        request.address = *address;
        request.nameKnown = true;
        std::atomic<bool> stop{false};
        ReadUntilSeen view(seen_, subscription_, stop);
        const ListingResult listing = listVideos(request, &view, &stop);
        std::vector<size_t> fresh;
        for (size_t i = 0; i < listing.entries.size(); ++i) {
            const ListEntry& entry = listing.entries[i];
            if (seen_.count(entryKey(entry)) != 0 || isOld(entry, subscription_)) continue;
            if (!entry.unavailable.empty()) {
                note(entry, entry.unavailable);
                ++unavailable_;
            } else if (doneInList_.count(entry.bvid) != 0) {
                note(entry, localText("下载列表中已完成"));
            } else {
                fresh.push_back(i);
            }
        }
        if (address->kind == ListKind::Season) {
            addEpisodes(listing, fresh);
        } else {
            for (const size_t i : fresh) addVideo(listing.entries[i]);
        }
        const bool read = listing.complete || stop;
        return finish(read ? std::string() : listing.reason);
    }

  private:
    void note(const ListEntry& entry, const std::string& why) {
        context_.store.noteSeen({subscription_.id, entryKey(entry), why, context_.now});
    }

    // The parts of one new video, seen with them; a video whose files are all there is
    // seen without any.
    void addParts(const ListEntry& entry, const std::vector<DownloadRequest>& parts) {
        if (parts.empty()) return note(entry, localText("文件已存在"));
        for (const DownloadQueue::Submission& submitted : context_.queue.submitSeen(
                 parts, {subscription_.id, entryKey(entry), "", context_.now}))
            outcome_.items.push_back(submitted.item.id);
        ++outcome_.newVideos;
        outcome_.parts += static_cast<int>(parts.size());
        context_.store.renewLease(subscription_.id, context_.owner, std::time(nullptr));
    }

    // Not seen: the next check tries it again.
    void failed(const std::string& why) {
        ++failed_;
        lastFailure_ = why;
    }

    void addVideo(const ListEntry& entry) {
        const ParseResult parsed = parseVideo(entry.bvid, formatAskOf(settings_));
        if (parsed.failure != ParseFailure::None) return failed(parseText(parsed));
        const DownloadPlan plan =
            planDownloads(parsed, selection_, settings_, context_.lists.site.main);
        if (!plan.refusal.empty()) return failed(plan.refusal);
        addParts(entry, plan.requests);
    }

    // A season's new episodes: rows of its one parse.
    void addEpisodes(const ListingResult& listing, const std::vector<size_t>& fresh) {
        if (fresh.empty()) return;
        const ParseResult season = parseSeason(listing, formatAskOf(settings_));
        if (season.failure != ParseFailure::None) {
            for (size_t i = 0; i < fresh.size(); ++i) failed(parseText(season));
            return;
        }
        PartSelection selection = selection_;
        selection.rows = std::vector<int>(fresh.begin(), fresh.end());
        const DownloadPlan plan =
            planDownloads(season, selection, settings_, context_.lists.site.main);
        if (!plan.refusal.empty()) {
            for (size_t i = 0; i < fresh.size(); ++i) failed(plan.refusal);
            return;
        }
        // A row's page number is its episode's position from 1.
        std::map<size_t, std::vector<DownloadRequest>> byRow;
        for (const DownloadRequest& part : plan.requests)
            byRow[static_cast<size_t>(part.pageNumber - 1)].push_back(part);
        for (const size_t i : fresh) addParts(listing.entries[i], byRow[i]);
    }

    std::string foundText() const {
        std::string text =
            outcome_.newVideos > 0
                ? localText("发现") + std::to_string(outcome_.newVideos) + localText("个新视频")
                : localText("没有新视频");
        if (unavailable_ > 0)
            text += localText("，") + std::to_string(unavailable_) + localText("个无法下载");
        if (failed_ > 0)
            text += localText("，") + std::to_string(failed_) + localText("个解析失败：") +
                    lastFailure_;
        return text;
    }

    CheckOutcome finish(const std::string& failure) {
        Subscription& checked = outcome_.checked;
        outcome_.failure = failure;
        checked.lastCheck = context_.now;
        checked.newCount = outcome_.newVideos;
        checked.nextCheck = context_.now + checkInterval(subscription_.intervalSeconds);
        checked.status = failure.empty() ? foundText() : localText("检查失败：") + failure;
        // What was added is on disk before another program may check.
        context_.queue.flushStore();
        context_.store.recordCheck(checked);
        return std::move(outcome_);
    }

    const Subscription& subscription_;
    CheckContext& context_;
    DownloadSettings settings_;
    PartSelection selection_;
    std::set<std::string> seen_;
    std::set<std::string> doneInList_;
    int unavailable_ = 0;
    int failed_ = 0;
    std::string lastFailure_;
    CheckOutcome outcome_;
};

}  // namespace

std::string checkedElsewhereText() {
    return localText("另一个程序正在检查");
}

CheckOutcome checkSubscription(const Subscription& subscription, CheckContext& context) {
    if (!context.store.takeLease(subscription.id, context.owner, context.now)) {
        CheckOutcome outcome;
        outcome.checked = subscription;
        outcome.failure = checkedElsewhereText();
        outcome.leased = false;
        return outcome;
    }
    CheckOutcome outcome = Check(subscription, context).run();
    context.store.giveUpLease(subscription.id, context.owner);
    return outcome;
}

}  // namespace quivra
