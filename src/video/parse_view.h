// What the parse procedure does to the main window, as an interface: the main window
// implements it by handing each call to the GUI thread; tests implement it in memory.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"
#include "video/parse_result.h"

namespace quivra {

class ParseView {
  public:
    virtual ~ParseView() = default;

    virtual void setParseButton(const std::string& caption, bool enabled) = 0;
    virtual void clearQualityItems() = 0;
    virtual void addQualityItem(const std::string& text, int itemData) = 0;
    virtual void clearRows() = 0;
    // Appends one row per entry: "#" page, "标题" part, "时长" duration, "cid" cid, "状态" "".
    virtual void appendRows(const std::vector<PageEntry>& pages) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    // The parse's result, once its rows are listed and before the button is enabled again;
    // the window keeps it for the download buttons and the rows' states.
    virtual void keepResult(const ParseResult& /*result*/) {}
    // Blocks until the user dismissed the box.
    virtual void showMessage(const std::string& text) = 0;
};

}  // namespace quivra
