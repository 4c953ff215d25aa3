#include "app/cli/list_info.h"

#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/cli/exit_status.h"
#include "app/cli/list_request.h"
#include "video/title_cleaning.h"

namespace quivra {
namespace {

// yyyy-MM-dd in local time, the day --since and --until count in; "" when not given.
std::string dayText(std::int64_t seconds) {
    if (seconds <= 0) return "";
    const time_t moment = static_cast<time_t>(seconds);
    struct tm parts {};
    char text[32];
    if (localtime_r(&moment, &parts) == nullptr || strftime(text, sizeof text, "%F", &parts) == 0) {
        return "";
    }
    return text;
}

std::string durationText(int seconds) {
    return seconds < 0 ? "" : formatDuration(seconds);
}

nlohmann::ordered_json entryJson(size_t number, const ListEntry& entry) {
    nlohmann::ordered_json object = {{"number", number},
                                     {"bvid", entry.bvid},
                                     {"aid", entry.aid},
                                     {"title", jsonText(entry.title)},
                                     {"owner", jsonText(entry.owner)},
                                     {"date", dayText(entry.published)},
                                     {"duration", durationText(entry.durationSeconds)},
                                     {"parts", entry.parts > 0 ? nlohmann::ordered_json(entry.parts)
                                                               : nlohmann::ordered_json()}};
    if (!entry.episodeId.empty()) {
        object["episode"] = entry.episodeId;
        object["badge"] = jsonText(entry.badge);
    }
    object["unavailable"] = jsonText(entry.unavailable);
    return object;
}

// Follows the listing on the terminal: the header once the first page told it, each
// page's lines as it comes, the waits on standard error.
class ListLines : public ListingView {
  public:
    ListLines(Terminal& terminal, bool json) : terminal_(terminal), json_(json) {}

    void showListInfo(const ListInfo& info) override {
        if (!headerShown_) header(info);
    }

    void showEntries(size_t first, const std::vector<ListEntry>& entries) override {
        for (size_t i = 0; i < entries.size(); ++i) entry(first + i + 1, entries[i]);
    }

    void showWaiting(const std::string& text) override { terminal_.localError(text); }

    // What the pages did not show: the header of a list they never named.
    void finish(const ListingResult& result) {
        if (!headerShown_ && (result.complete || !result.entries.empty())) header(result.info);
    }

  private:
    void header(const ListInfo& info) {
        headerShown_ = true;
        numberWidth_ = info.total > 0 ? std::to_string(info.total).size() : 1;
        if (json_) return;
        terminal_.localLine(info.name);
        if (!info.owner.empty()) terminal_.localLine("owner: " + info.owner);
        if (info.total >= 0) terminal_.line("count: " + std::to_string(info.total));
    }

    void entry(size_t number, const ListEntry& entry) {
        if (json_) return terminal_.json(entryJson(number, entry));
        std::string text = std::to_string(number);
        if (text.size() < numberWidth_) text.insert(0, numberWidth_ - text.size(), ' ');
        const std::string date = dayText(entry.published);
        const std::string duration = durationText(entry.durationSeconds);
        text += "  " + (date.empty() ? std::string(10, '-') : date) + "  " +
                (duration.empty() ? std::string("--:--") : duration) + "  " +
                (entry.bvid.empty() ? std::string("-") : entry.bvid) + "  " + entry.title;
        if (!entry.unavailable.empty()) text += "  (" + entry.unavailable + ")";
        terminal_.localLine(text);
    }

    Terminal& terminal_;
    const bool json_;
    bool headerShown_ = false;
    size_t numberWidth_ = 1;
};

}  // namespace

int runListInfo(const ListAddress& address, bool json, Terminal& terminal) {
    if (!address.problem.empty()) {
        terminal.localError(address.problem);
        return kExitUnresolved;
    }
    ListLines lines(terminal, json);
    const ListingResult result = listVideos(listingRequestFor(address), &lines);
    lines.finish(result);
    if (result.complete) return kExitDone;
    terminal.localError(result.reason);
    return kExitFailed;
}

}  // namespace quivra
