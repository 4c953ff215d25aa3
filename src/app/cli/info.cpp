// info ADDRESS [--json]: the parse of the main window, written to the terminal.
#include <memory>
#include <string>
#include <vector>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "download/part_names.h"
#include "net/text_encoding.h"
#include "video/parse_procedure.h"

namespace quivra {
namespace {

struct InfoOptions {
    std::string address;  // UTF-8, as typed
    bool json = false;
};

// The main window's side of a parse, kept in memory: the address box holds the typed
// address, the list and the status line are read once the parse is over.
class InfoParseView : public ParseView {
  public:
    explicit InfoParseView(std::string address) : address_(std::move(address)) {}

    std::string videoUrlText() override { return address_; }
    void setParseButton(const std::string&, bool) override {}
    void clearQualityItems() override {}
    void addQualityItem(const std::string&, int) override {}
    void clearRows() override { rows_.clear(); }
    void appendRows(const std::vector<PageEntry>& pages) override {
        rows_.insert(rows_.end(), pages.begin(), pages.end());
    }
    void setStatusText(const std::string& text) override { status_ = text; }
    void showMessage(const std::string& text) override { message_ = text; }

    const std::vector<PageEntry>& rows() const { return rows_; }
    const std::string& status() const { return status_; }
    const std::string& message() const { return message_; }

  private:
    std::string address_;
    std::vector<PageEntry> rows_;
    std::string status_;
    std::string message_;
};

nlohmann::ordered_json infoJson(const VideoRecord& video, const std::vector<PageEntry>& rows,
                                const QualityList& qualities) {
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (size_t row = 0; row < rows.size(); ++row) {
        parts.push_back({{"number", rowNumberText(static_cast<int>(row))},
                         {"page", jsonText(rows[row].page)},
                         {"name", jsonText(rows[row].part)},
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
            {"parts", parts},
            {"qualities", offered}};
}

void writeInfo(Terminal& terminal, const VideoRecord& video, const std::vector<PageEntry>& rows,
               const QualityList& qualities) {
    terminal.localLine(video.bvid + "  " + video.title);
    terminal.line("parts: " + std::to_string(rows.size()));
    for (size_t row = 0; row < rows.size(); ++row) {
        terminal.localLine("  " + rowNumberText(static_cast<int>(row)) + "  " + rows[row].duration +
                           "  " + rows[row].part);
    }
    terminal.line("qualities:");
    for (const QualityEntry& entry : qualities.entries) {
        terminal.localLine("  " + entry.quality + "  " + entry.newDescription +
                           (entry.available ? "" : "  (members only)"));
    }
}

int runInfo(const InfoOptions& options, Terminal& terminal) {
    InfoParseView view(utf8ToLocalText(options.address));
    runParse(view);
    if (!view.message().empty()) {
        terminal.localError(view.message());
        return kExitUnresolved;
    }
    if (view.rows().empty()) {
        // The site did not know the video or did not answer: the window's status line.
        terminal.localError(view.status());
        return kExitUnresolved;
    }
    const VideoRecord video = sharedState().video.get();
    QualityList qualities = sharedState().qualities.get();
    if (qualities.count < 0) qualities.entries.clear();
    if (options.json) {
        terminal.json(infoJson(video, view.rows(), qualities));
    } else {
        writeInfo(terminal, video, view.rows(), qualities);
    }
    return kExitDone;
}

}  // namespace

void addInfoCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* command =
        app.add_subcommand("info",
                           "A video's title, its parts (NN, duration, name) and its "
                           "qualities, marking those this account may not download");
    command
        ->add_option("ADDRESS", options->address,
                     "A video page address, a BV identifier or an av number")
        ->required();
    command->add_flag("--json", options->json, "Write one JSON object");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runInfo(*options, terminal); };
    });
}

}  // namespace quivra
