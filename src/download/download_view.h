// What the download buttons see of the main window, and how an item's state reaches the
// row that shows its part. The window implements the view by handing every call to the
// GUI thread; tests implement it in memory. Texts are local text.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "download/list/download_item.h"
#include "video/parse_result.h"

namespace quivra {

class DownloadView {
  public:
    // Columns of the list, counted from 0.
    enum Column {
        NumberColumn = 0,
        TitleColumn = 1,
        DurationColumn = 2,
        CidColumn = 3,
        StateColumn = 4
    };

    virtual ~DownloadView() = default;

    // The parse whose rows the list shows; null before the first and while one runs.
    virtual std::shared_ptr<const ParseResult> shownParse() = 0;
    virtual bool isChecked(int row) = 0;
    // Item data of the current selection of 组合框_videoQuality / 组合框_audioQuality.
    virtual std::optional<int> videoQualityData() = 0;
    virtual std::optional<int> audioQualityData() = 0;
    virtual void clearVideoQualitySelection() = 0;
    // The "状态" cell of one row.
    virtual std::string stateText(int row) = 0;
    // Writes the "状态" cell of one row.
    virtual void setStateText(int row, const std::string& text) = 0;
    // Shows a message box and returns once it was dismissed.
    virtual void showMessage(const std::string& text) = 0;
};

// Writes the item's "状态" text into the row that lists its part (rowOfPart of the shown
// parse). A part the list does not show is left alone.
void showItemInRow(DownloadView& view, const DownloadItem& item);

}  // namespace quivra
