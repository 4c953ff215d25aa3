// info ADDRESS [--json]: the parse of the main window, written to the terminal with the
// window's texts; a list's address lists its videos.
#include <memory>
#include <string>
#include <vector>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "app/cli/list_info.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "base/site_text.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"
#include "video/listing/list_address.h"
#include "video/video_parse.h"

namespace quivra {
namespace {

struct InfoOptions {
    std::string address;  // UTF-8, as typed
    bool json = false;
};

nlohmann::ordered_json infoJson(const VideoRecord& video, const std::vector<PageEntry>& rows,
                                const QualityList& qualities) {
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (size_t row = 0; row < rows.size(); ++row) {
        parts.push_back({{"number", rowNumberText(static_cast<int>(row))},
                         {"page", jsonText(rows[row].page)},
                         {"name", siteText(rows[row].partUtf8, rows[row].part)},
                         {"duration", jsonText(rows[row].duration)},
                         {"cid", jsonText(rows[row].cid)}});
    }
    nlohmann::ordered_json offered = nlohmann::ordered_json::array();
    for (const QualityEntry& entry : qualities.entries) {
        offered.push_back({{"id", textToInteger(entry.quality)},
                           {"name", jsonText(entry.newDescription)},
                           {"available", entry.available}});
    }
    return {{"bvid", jsonText(video.bvid)},
            {"title", jsonText(video.title)},
            {"siteTitle", siteText(video.titleUtf8, video.siteTitle)},
            {"author", siteText(video.owner.nameUtf8, video.owner.name)},
            {"description", siteText(video.descUtf8, video.desc)},
            {"parts", parts},
            {"qualities", offered}};
}

void writeInfo(Terminal& terminal, const VideoRecord& video, const std::vector<PageEntry>& rows,
               const QualityList& qualities) {
    terminal.line(video.bvid + "  " + siteText(video.titleUtf8, video.siteTitle));
    terminal.line("parts: " + std::to_string(rows.size()));
    for (size_t row = 0; row < rows.size(); ++row) {
        terminal.line("  " + rowNumberText(static_cast<int>(row)) + "  " + rows[row].duration +
                      "  " + siteText(rows[row].partUtf8, rows[row].part));
    }
    terminal.line("qualities:");
    for (const QualityEntry& entry : qualities.entries) {
        terminal.localLine("  " + entry.quality + "  " + entry.newDescription +
                           (entry.available ? "" : "  (members only)"));
    }
}

int runInfo(const InfoOptions& options, Terminal& terminal) {
    const std::string address = utf8ToLocalText(options.address);
    if (const auto list = recognizeListAddress(address, sharedState().site)) {
        return runListInfo(*list, options.json, terminal);
    }
    const ParseResult parsed = parseVideo(address, formatAskOf(sharedState().download.get()));
    if (parsed.failure != ParseFailure::None) {
        terminal.localError(parseText(parsed));
        return parseFailureStatus(parsed.failure);
    }
    if (options.json) {
        terminal.json(infoJson(parsed.video, parsed.rows, parsed.qualities));
    } else {
        writeInfo(terminal, parsed.video, parsed.rows, parsed.qualities);
    }
    return kExitDone;
}

}  // namespace

void addInfoCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* command =
        app.add_subcommand("info",
                           "A video's title, its parts (NN, duration, name) and its "
                           "qualities, marking those this account may not download; or a list's "
                           "name, owner and count and a line per video (number, date, "
                           "duration, BV, title)");
    command
        ->add_option("ADDRESS", options->address,
                     "A video page address, a BV identifier or an av number; or the address "
                     "of a list: an uploader's videos, a favourites folder, a collection, a "
                     "series, the watch-later list, a season (ep…, ss…)")
        ->required();
    command->add_flag("--json", options->json, "Write one JSON object (for a list, one per video)");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runInfo(*options, terminal); };
    });
}

}  // namespace quivra
