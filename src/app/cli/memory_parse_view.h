// The main window's side of a parse, kept in memory for a command: the address box holds
// the typed address; the list, the status line and the message are read once the parse
// is over.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "video/parse_view.h"

namespace quivra {

class MemoryParseView : public ParseView {
  public:
    explicit MemoryParseView(std::string address) : address_(std::move(address)) {}

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
    // Why the parse listed nothing (local text): the message box's text, else the status
    // line's (the site did not know the video or did not answer). "" when it listed rows.
    std::string failure() const;

  private:
    std::string address_;
    std::vector<PageEntry> rows_;
    std::string status_;
    std::string message_;
};

}  // namespace quivra
