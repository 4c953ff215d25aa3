#include "app/cli/downloads/progress_output.h"

#include <map>

#include "app/cli/downloads/item_text.h"
#include "app/cli/downloads/live_progress.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

class QuietOutput : public ProgressOutput {
  public:
    explicit QuietOutput(Terminal& terminal) : terminal_(terminal) {}
    void video(const DownloadRequest&, int) override {}
    void part(const DownloadItem&) override {}
    void error(const std::string& text) override { terminal_.error(text); }

  private:
    Terminal& terminal_;
};

// One line per state change: "NN name: text".
class PlainOutput : public QuietOutput {
  public:
    explicit PlainOutput(Terminal& terminal) : QuietOutput(terminal), terminal_(terminal) {}
    void video(const DownloadRequest& firstPart, int parts) override {
        terminal_.line(videoLine(firstPart, parts));
    }
    void part(const DownloadItem& item) override {
        if (isProgressOnly(item)) return;
        std::string text = partStateText(item);
        std::string& shown = shown_[item.id];
        if (text == shown) return;
        shown = std::move(text);
        terminal_.line(partLabel(item) + ": " + shown);
    }

  private:
    Terminal& terminal_;
    std::map<std::int64_t, std::string> shown_;
};

// One JSON object per event.
class JsonOutput : public QuietOutput {
  public:
    explicit JsonOutput(Terminal& terminal) : QuietOutput(terminal), terminal_(terminal) {}
    void video(const DownloadRequest& firstPart, int parts) override {
        terminal_.json({{"event", "video"},
                        {"bvid", localToUtf8(firstPart.bvid)},
                        {"title", localToUtf8(firstPart.videoTitle)},
                        {"parts", parts},
                        {"quality", firstPart.videoQuality},
                        {"qualityName", localToUtf8(firstPart.qualityName)},
                        {"audio", firstPart.audioQuality}});
    }
    void part(const DownloadItem& item) override {
        nlohmann::ordered_json event = {{"event", "part"}};
        event.update(partJson(item));
        terminal_.json(event);
    }

  private:
    Terminal& terminal_;
};

}  // namespace

std::unique_ptr<ProgressOutput> makeProgressOutput(Terminal& terminal, bool json) {
    if (terminal.quiet()) return std::make_unique<QuietOutput>(terminal);
    if (json) return std::make_unique<JsonOutput>(terminal);
    if (terminal.isTerminal()) return makeLiveProgress(terminal);
    return std::make_unique<PlainOutput>(terminal);
}

}  // namespace quivra
