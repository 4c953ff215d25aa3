// What the download buttons and jobs see of the main window. The window implements it by
// handing every call to the GUI thread; tests implement it in memory. Texts are local text.
#pragma once

#include <memory>
#include <optional>
#include <string>

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

    virtual int rowCount() = 0;
    virtual std::string cellText(int row, int column) = 0;  // "" for a row not there
    virtual bool isChecked(int row) = 0;
    // Item data of the current selection of 组合框_videoQuality / 组合框_audioQuality.
    virtual std::optional<int> videoQualityData() = 0;
    virtual std::optional<int> audioQualityData() = 0;
    virtual void clearVideoQualitySelection() = 0;
    // Writes the "状态" cell of one row.
    virtual void setStateText(int row, const std::string& text) = 0;
};

// The view that jobs started from now on write to (the open main window).
void setDownloadView(std::shared_ptr<DownloadView> view);
std::shared_ptr<DownloadView> currentDownloadView();

}  // namespace quivra
