#include "download/download_view.h"

#include "base/shared_state.h"
#include "download/download_files.h"
#include "download/part_names.h"

namespace quivra {

void showItemInRow(DownloadView& view, const DownloadItem& item) {
    const DownloadRequest& part = item.request;
    const int row = part.pageNumber - 1;
    if (item.stageText.empty() || row < 0 || row >= view.rowCount()) return;
    const std::string listed = outputFilePath(part.directory, sharedState().video.get().title, row,
                                              view.cellText(row, DownloadView::TitleColumn));
    if (listed == part.outputPath) view.setStateText(row, item.stageText);
}

}  // namespace quivra
