#include "download/download_view.h"

#include "download/plan/part_row.h"

namespace quivra {

void showItemInRow(DownloadView& view, const DownloadItem& item) {
    if (item.stageText.empty()) return;
    const std::shared_ptr<const ParseResult> shown = view.shownParse();
    const int row = shown ? rowOfPart(*shown, item.request) : -1;
    if (row >= 0) view.setStateText(row, item.stageText);
}

}  // namespace quivra
