#include "app/cli/downloads/live_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#include "app/cli/downloads/item_text.h"
#include "download/job/progress_text.h"

namespace quivra {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr int kBarWidth = 20;

// The length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

char32_t codePoint(const std::string& text, std::size_t at, std::size_t length) {
    char32_t value = static_cast<unsigned char>(text[at]) & (0xFF >> (length + 1));
    if (length == 1) return static_cast<unsigned char>(text[at]);
    for (std::size_t i = 1; i < length && at + i < text.size(); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return value;
}

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

// The text cut to at most `columns` terminal columns, at a character; East Asian wide
// characters take two.
std::string fitColumns(const std::string& text, int columns) {
    int width = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[at]));
        width += isWide(codePoint(text, at, length)) ? 2 : 1;
        if (width > columns) return text.substr(0, at);
        at += length;
    }
    return text;
}

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// "[########------------]"
std::string bar(const DownloadItem& item) {
    const int filled = item.bytesTotal > 0
                           ? static_cast<int>(std::clamp<std::int64_t>(
                                 item.bytesDone * kBarWidth / item.bytesTotal, 0, kBarWidth))
                           : 0;
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "]";
}

std::string liveLine(const DownloadItem& item) {
    std::string line = partLabel(item) + "  ";
    if (!isProgressOnly(item)) return line + partStateText(item);
    line += bar(item) + "  " + progressText(item.bytesDone, item.bytesTotal) + "  ";
    if (item.speed <= 0) return line + "--/s  --:--";
    const std::int64_t left = std::max<std::int64_t>(item.bytesTotal - item.bytesDone, 0);
    return line + byteSizeText(item.speed) + "/s  " + remainingText(left / item.speed);
}

class LiveProgress : public ProgressOutput {
  public:
    explicit LiveProgress(Terminal& terminal) : terminal_(terminal) {}

    void video(const DownloadRequest& firstPart, int parts) override {
        ended_.push_back(videoLine(firstPart, parts));
        draw();
    }

    void part(const DownloadItem& item) override {
        const bool working = item.state == ItemState::Running || item.state == ItemState::Merging;
        const auto found = std::find(order_.begin(), order_.end(), item.id);
        if (working) {
            if (found == order_.end()) order_.push_back(item.id);
            running_[item.id] = item;
            return;  // drawn at the next tick
        }
        if (found != order_.end()) order_.erase(found);
        running_.erase(item.id);
        if (isOver(item.state)) {
            ended_.push_back(partLabel(item) + "  " + partStateText(item));
            draw();
        }
    }

    void tick() override {
        if (Clock::now() - lastDraw_ >= kRedrawInterval) draw();
    }

    void error(const std::string& text) override {
        clear();
        terminal_.error(text);
        draw();
    }

    void finish() override { draw(); }

  private:
    // Back to the first live line, and everything from there cleared.
    std::string rewind() const {
        if (drawn_ == 0) return "\r\x1b[J";
        return "\r\x1b[" + std::to_string(drawn_) + "A\x1b[J";
    }

    void clear() {
        write(rewind());
        drawn_ = 0;
    }

    void draw() {
        std::string out = rewind();
        for (const std::string& line : ended_) out += line + "\n";
        ended_.clear();
        const int columns = terminalColumns() - 1;  // a full line would wrap on some terminals
        for (std::int64_t id : order_) out += fitColumns(liveLine(running_[id]), columns) + "\n";
        drawn_ = static_cast<int>(order_.size());
        write(out);
        lastDraw_ = Clock::now();
    }

    static void write(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    Terminal& terminal_;
    std::vector<std::string> ended_;   // lines to print above the live ones, once
    std::vector<std::int64_t> order_;  // running parts, in the order they started
    std::map<std::int64_t, DownloadItem> running_;
    int drawn_ = 0;
    Clock::time_point lastDraw_;
};

}  // namespace

std::unique_ptr<ProgressOutput> makeLiveProgress(Terminal& terminal) {
    return std::make_unique<LiveProgress>(terminal);
}

}  // namespace quivra
