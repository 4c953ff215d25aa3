// get: each address parsed as the main window parses it, its parts planned and handed to
// the download list as "下载全部" does, then the wait for them. A list's address is listed
// and its chosen videos fetched so, into a folder named after the list.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/download_session.h"
#include "app/cli/downloads/parses_ahead.h"
#include "app/cli/downloads/quality_choice.h"
#include "app/cli/exit_status.h"
#include "app/cli/list_request.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/list_download.h"
#include "download/plan/download_files.h"
#include "download/plan/download_plan.h"
#include "download/plan/part_files.h"
#include "net/text_encoding.h"
#include "video/address_list.h"
#include "video/format_ask.h"
#include "video/listing/entry_filter.h"
#include "video/listing/list_address.h"
#include "video/listing/season_parse.h"
#include "video/listing/video_listing.h"
#include "video/video_parse.h"

namespace quivra {

namespace {

// The rows to download (from 0): the PARTS the video has, every row without PARTS. A part
// it does not have is named through output.
std::vector<int> chosenRows(const GetOptions& options, const std::string& address, int rowCount,
                            ProgressOutput& output) {
    std::vector<int> rows;
    if (options.parts.empty()) {
        for (int row = 0; row < rowCount; ++row) rows.push_back(row);
        return rows;
    }
    for (int number : options.parts) {
        if (number <= rowCount) {
            rows.push_back(number - 1);
        } else {
            output.error(localToUtf8(address) + ": has no part " + std::to_string(number) +
                         " (it has " + std::to_string(rowCount) + ")");
        }
    }
    return rows;
}

// The addresses of the command line, standard input for "-" and the file of --input, in
// that order, with the batch window's rules: any separators, repeated videos once (local
// text). A file that cannot be read is named through output.
std::vector<std::string> gatherAddresses(const GetOptions& options, ProgressOutput& output,
                                         bool& unreadable) {
    std::string text;
    for (const std::string& address : options.addresses) {
        text +=
            address == "-" ? std::string(std::istreambuf_iterator<char>(std::cin), {}) : address;
        text += '\n';
    }
    if (!options.input.empty()) {
        std::ifstream file(options.input, std::ios::binary);
        if (!file) {
            output.error("cannot read " + options.input);
            unreadable = true;
        }
        text.append(std::istreambuf_iterator<char>(file), {});
    }
    return splitAddresses(utf8ToLocalText(text));
}

// What -q and -a chose; the settings' defaults for what they leave out.
std::optional<PartSelection> qualitiesOf(const GetOptions& options, const QualityList& offered,
                                         std::string& refusal) {
    PartSelection selection;
    if (!options.quality.empty()) {
        const QualityChoice chosen = chooseQuality(offered, options.quality);
        if (!chosen.refusal.empty()) {
            refusal = chosen.refusal;
            return std::nullopt;
        }
        selection.videoQuality = chosen.quality;
    }
    if (options.audio >= 0) selection.audioQuality = options.audio;
    selection.subtitlesOnly = options.subtitlesOnly;
    selection.danmakuOnly = options.danmakuOnly;
    return selection;
}

// The site's refusals while a list is read: how long the listing waits, on standard error.
class ListingWaits : public ListingView {
  public:
    ListingWaits(const std::string& address, ProgressOutput& output)
        : address_(address), output_(output) {}
    void showListInfo(const ListInfo&) override {}
    void showEntries(size_t, const std::vector<ListEntry>&) override {}
    void showWaiting(const std::string& text) override {
        output_.error(localToUtf8(address_ + ": " + text));
    }

  private:
    const std::string& address_;  // local text, as given
    ProgressOutput& output_;
};

class GetRun {
  public:
    GetRun(const GetOptions& options, Terminal& terminal)
        : options_(options),
          output_(makeProgressOutput(terminal, options.json)),
          settings_(sharedState().download.get()) {}

    int run() {
        for (const std::string& address : gatherAddresses(options_, *output_, failed_)) {
            if (interrupts_.requested()) break;
            fetch(address);
        }
        if (!session_) return status(false);
        const DownloadSession::Outcome outcome = session_->wait();
        failed_ = failed_ || outcome.failed > 0;
        session_.reset();
        return status(outcome.interrupted);
    }

  private:
    // -a asks for the lossless or Dolby audio as the settings' default would; -q naming
    // Dolby Vision or 8K asks for them as 请求杜比视界和8K would, so the list offers them.
    FormatAsk askOf(const DownloadSettings& settings) const {
        FormatAsk ask = formatAskOf(settings);
        if (options_.audio >= 0) ask.audio = options_.audio;
        const std::string& quality = options_.quality;
        if (quality == "126" || quality == "127" || quality.find("8K") != std::string::npos ||
            quality.find("杜比视界") != std::string::npos) {
            ask.ultraFormats = true;
        }
        return ask;
    }

    // Parses one address (local text, as given) and hands its chosen parts to the list; a
    // list's address lists its videos first.
    void fetch(const std::string& address) {
        if (const auto list = recognizeListAddress(address, sharedState().site)) {
            return fetchList(address, *list);
        }
        const ParseResult parsed = parseVideo(address, askOf(settings_));
        if (parsed.failure != ParseFailure::None) {
            unresolved_ = unresolved_ || parseFailureStatus(parsed.failure) == kExitUnresolved;
            return fail(address, localToUtf8(parseText(parsed)));
        }
        std::vector<int> rows =
            chosenRows(options_, address, static_cast<int>(parsed.rows.size()), *output_);
        failed_ = failed_ || rows.size() < options_.parts.size();
        if (!rows.empty()) add(address, parsed, std::move(rows), settings_, false);
    }

    // The chosen videos of a list, every part of each, into the list's folder; a season's
    // chosen episodes as the parts of one video. A listing that stopped early fails the
    // run, but what it listed is downloaded.
    void fetchList(const std::string& address, const ListAddress& list) {
        if (!list.problem.empty()) {
            unresolved_ = true;
            return fail(address, localToUtf8(list.problem));
        }
        ListingWaits waits(address, *output_);
        const ListingResult listing =
            listVideos(listingRequestFor(list), &waits, interrupts_.stopFlag());
        if (interrupts_.requested()) return;
        if (!listing.complete) fail(address, localToUtf8(listing.reason));
        const std::vector<size_t> chosen = filterEntries(listing.entries, options_.entries);
        sayUnavailable(address, listing.entries);
        if (chosen.empty()) {
            if (listing.entries.empty() && !listing.complete) return;  // its reason was said
            output_->error(localToUtf8(address) + ": nothing to download (" +
                           std::to_string(listing.entries.size()) + " listed, none chosen)");
            return;
        }
        const DownloadSettings settings = listDownloadSettings(settings_, listing.info);
        if (list.kind == ListKind::Season) {
            const ParseResult season = parseSeason(listing, askOf(settings));
            if (season.failure != ParseFailure::None) {
                return fail(address, localToUtf8(parseText(season)));
            }
            return add(address, season, std::vector<int>(chosen.begin(), chosen.end()), settings,
                       true);
        }
        std::vector<std::string> videos;
        for (size_t index : chosen) {
            const ListEntry& entry = listing.entries[index];
            videos.push_back(entry.bvid.empty() ? "av" + entry.aid : entry.bvid);
        }
        ParsesAhead parses(videos, askOf(settings));
        for (const std::string& video : videos) {
            const ParseResult parsed = parses.next();
            if (interrupts_.requested()) return;
            const std::string label = address + ": " + video;
            if (parsed.failure != ParseFailure::None) {
                fail(label, localToUtf8(parseText(parsed)));
                continue;
            }
            add(label, parsed, std::nullopt, settings, true);
        }
    }

    // Names each entry the filters pass over only because it cannot be downloaded. One
    // named by its position was asked for: the run has failed it.
    void sayUnavailable(const std::string& address, const std::vector<ListEntry>& entries) {
        std::vector<ListEntry> all = entries;
        for (ListEntry& entry : all) entry.unavailable.clear();
        for (size_t index : filterEntries(all, options_.entries)) {
            const ListEntry& entry = entries[index];
            if (entry.unavailable.empty()) continue;
            output_->error(localToUtf8(address + ": " + std::to_string(index + 1) + " " +
                                       entry.title + ": " + entry.unavailable));
            if (!options_.entries.items.empty()) failed_ = true;
        }
    }

    // Plans the rows of a parse (nullopt: every row) at the run's qualities and hands those
    // not done to the list. label: the address as given (local text) that failure lines
    // begin with. inList: a part the download list holds as done is done, even when its
    // file has moved away since.
    void add(const std::string& label, const ParseResult& parsed,
             std::optional<std::vector<int>> rows, const DownloadSettings& settings, bool inList) {
        std::string refusal;
        std::optional<PartSelection> selection = qualitiesOf(options_, parsed.qualities, refusal);
        if (!selection) return fail(label, refusal);
        selection->rows = std::move(rows);
        const DownloadPlan plan =
            planDownloads(parsed, *selection, settings, sharedState().site.main);
        if (!plan.refusal.empty()) return fail(label, localToUtf8(plan.refusal));

        const DownloadRequest& first =
            plan.requests.empty() ? plan.done.front() : plan.requests.front();
        output_->video(first, static_cast<int>(plan.requests.size() + plan.done.size()));
        for (const DownloadRequest& part : plan.done) output_->part(foundDone(part));
        if (plan.requests.empty()) return;
        if (!session_) {
            session_ = DownloadSession::start(*output_, interrupts_);
            if (!session_) return fail(label, "");
        }
        for (const DownloadRequest& part : plan.requests) {
            if (inList && !wantsExtrasOnly(part)) {
                if (std::optional<DownloadItem> done = doneInList(part)) {
                    output_->part(*done);
                    continue;
                }
            }
            session_->follow(session_->queue().submit(part).item);
        }
    }

    // The item of the download list that finished the part's output path, if one did.
    std::optional<DownloadItem> doneInList(const DownloadRequest& part) {
        if (!doneItems_) {
            doneItems_.emplace();
            session_->queue().visitItems([this](const DownloadItem& item) {
                if (item.state == ItemState::Done) (*doneItems_)[item.request.outputPath] = item.id;
            });
        }
        const auto found = doneItems_->find(part.outputPath);
        if (found == doneItems_->end()) return std::nullopt;
        return session_->queue().item(found->second);
    }

    // A part whose MP4 is there, shown as done; it never enters the list.
    DownloadItem foundDone(const DownloadRequest& part) {
        DownloadItem item;
        item.id = --foundParts_;  // below every id of the list
        item.request = part;
        item.state = ItemState::Done;
        item.stageText = localText("下载完成");
        item.bytesDone = item.bytesTotal = fileSize(part.outputPath);
        return item;
    }

    // A failure line names the address as given (local text); reason is UTF-8.
    void fail(const std::string& address, const std::string& reason) {
        if (!reason.empty()) output_->error(localToUtf8(address) + ": " + reason);
        failed_ = true;
    }

    int status(bool interrupted) const {
        if (interrupted) return kExitInterrupted;
        if (unresolved_) return kExitUnresolved;
        return failed_ ? kExitFailed : kExitDone;
    }

    const GetOptions& options_;
    Interrupts interrupts_;
    std::unique_ptr<ProgressOutput> output_;
    const DownloadSettings settings_;
    std::unique_ptr<DownloadSession> session_;
    // The output paths of the list's finished items, looked at once per run.
    std::optional<std::unordered_map<std::string, std::int64_t>> doneItems_;
    std::int64_t foundParts_ = 0;
    bool unresolved_ = false;
    bool failed_ = false;
};

}  // namespace

int runGet(const GetOptions& options, Terminal& terminal) {
    overrideSettings(settingOverrides(options));
    return GetRun(options, terminal).run();
}

}  // namespace quivra
