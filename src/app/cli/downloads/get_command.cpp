// get: each address parsed as the main window parses it, its parts bound and handed to the
// download list as "下载全部" does, then the wait for them.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/download_session.h"
#include "app/cli/downloads/quality_choice.h"
#include "app/cli/exit_status.h"
#include "app/cli/memory_parse_view.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/plan/default_quality.h"
#include "download/plan/part_binding.h"
#include "net/text_encoding.h"
#include "video/address_list.h"
#include "video/parse_procedure.h"

namespace quivra {

namespace {

// The rows to download (from 0): the PARTS the video has, every row without PARTS. A part
// it does not have is named through output.
std::vector<int> chosenRows(const GetOptions& options, const VideoRecord& video, int rowCount,
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
            output.error(localToUtf8(video.bvid) + " has no part " + std::to_string(number) +
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

// The QUALITY asked for, else the settings' default; the AUDIO likewise.
QualityChoice qualityOf(const GetOptions& options, const QualityList& qualities) {
    if (!options.quality.empty()) return chooseQuality(qualities, options.quality);
    const DefaultChoice choice = chooseDefaultQualities(qualities, sharedState().download.get());
    return {choice.videoQuality, localToUtf8(choice.refusal)};
}

int audioOf(const GetOptions& options) {
    if (options.audio >= 0) return options.audio;
    return defaultAudioStream(sharedState().download.get());
}

class GetRun {
  public:
    GetRun(const GetOptions& options, Terminal& terminal)
        : options_(options),
          output_(makeProgressOutput(terminal, options.json)),
          directory_(sharedState().download.get().directory) {}

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
    // Parses one address (local text) and hands its chosen parts to the list.
    void fetch(const std::string& address) {
        MemoryParseView view(address);
        const ParseResult parsed = runParse(view);
        if (parsed.failure != ParseFailure::None) {
            output_->error(localToUtf8(parsed.failureText));
            unresolved_ = unresolved_ || parseFailureStatus(parsed.failure) == kExitUnresolved;
            failed_ = true;
            return;
        }
        const VideoRecord& video = parsed.video;
        const QualityChoice quality = qualityOf(options_, parsed.qualities);
        if (!quality.refusal.empty()) return fail(quality.refusal);
        const std::vector<int> chosen =
            chosenRows(options_, video, static_cast<int>(parsed.rows.size()), *output_);
        failed_ = failed_ || chosen.size() < options_.parts.size();
        if (chosen.empty()) return;
        const std::string refused = makeVideoFolders(directory_, video);
        if (!refused.empty()) return fail(localToUtf8(refused));
        if (!session_) {
            session_ = DownloadSession::start(*output_, interrupts_);
            if (!session_) return fail("");
        }

        const DownloadSettings settings = sharedState().download.get();
        const PartChoice choice{directory_, quality.quality, audioOf(options_), settings.writeTags,
                                settings.saveCover};
        std::vector<DownloadRequest> parts;
        for (int row : chosen) {
            parts.push_back(bindPart(parsed, choice, row));
        }
        output_->video(parts.front(), static_cast<int>(parts.size()));
        for (const DownloadRequest& part : parts) {
            session_->follow(session_->queue().submit(part).item);
        }
    }

    void fail(const std::string& reason) {
        if (!reason.empty()) output_->error(reason);
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
    const std::string directory_;
    std::unique_ptr<DownloadSession> session_;
    bool unresolved_ = false;
    bool failed_ = false;
};

}  // namespace

int runGet(const GetOptions& options, Terminal& terminal) {
    overrideSettings(settingOverrides(options));
    return GetRun(options, terminal).run();
}

}  // namespace quivra
