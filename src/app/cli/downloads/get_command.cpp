// get: each address parsed as the main window parses it, its parts planned and handed to
// the download list as "下载全部" does, then the wait for them.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/download_session.h"
#include "app/cli/downloads/quality_choice.h"
#include "app/cli/exit_status.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/plan/download_files.h"
#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/address_list.h"
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
    return selection;
}

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
    // Parses one address (local text, as given) and hands its chosen parts to the list.
    void fetch(const std::string& address) {
        const ParseResult parsed = parseVideo(address);
        if (parsed.failure != ParseFailure::None) {
            unresolved_ = unresolved_ || parseFailureStatus(parsed.failure) == kExitUnresolved;
            return fail(address, localToUtf8(parseText(parsed)));
        }
        std::string refusal;
        std::optional<PartSelection> selection = qualitiesOf(options_, parsed.qualities, refusal);
        if (!selection) return fail(address, refusal);
        selection->rows =
            chosenRows(options_, address, static_cast<int>(parsed.rows.size()), *output_);
        failed_ = failed_ || selection->rows->size() < options_.parts.size();
        if (selection->rows->empty()) return;
        const DownloadPlan plan =
            planDownloads(parsed, *selection, settings_, sharedState().site.main);
        if (!plan.refusal.empty()) return fail(address, localToUtf8(plan.refusal));

        const DownloadRequest& first =
            plan.requests.empty() ? plan.done.front() : plan.requests.front();
        output_->video(first, static_cast<int>(plan.requests.size() + plan.done.size()));
        for (const DownloadRequest& part : plan.done) output_->part(foundDone(part));
        if (plan.requests.empty()) return;
        if (!session_) {
            session_ = DownloadSession::start(*output_, interrupts_);
            if (!session_) return fail(address, "");
        }
        for (const DownloadRequest& part : plan.requests) {
            session_->follow(session_->queue().submit(part).item);
        }
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
