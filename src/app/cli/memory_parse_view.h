// The main window's side of a parse for a command: the address box holds the typed
// address; what the parse found comes back as its ParseResult, so the window's controls
// are left out.
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
    void clearRows() override {}
    void appendRows(const std::vector<PageEntry>&) override {}
    void setStatusText(const std::string&) override {}
    void showMessage(const std::string&) override {}

  private:
    std::string address_;
};

}  // namespace quivra
