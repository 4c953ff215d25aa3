// The items of the download list as a table, newest first: one row per part of any video.
// It keeps its own copies, updated on the GUI thread from the queue's events.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "download/list/download_item.h"

namespace quivra {

class DownloadListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        TitleColumn,
        QualityColumn,
        SizeColumn,
        ProgressColumn,
        SpeedColumn,
        RemainingColumn,
        StateColumn,
        FinishedColumn,
        ColumnCount
    };
    // The progress column's percentage, 0..100, for the bar.
    static constexpr int PercentRole = Qt::UserRole + 1;

    explicit DownloadListModel(QObject* parent = nullptr);

    void reset(std::vector<DownloadItem> items);  // any order
    void update(const DownloadItem& item);        // a new item comes in at the top
    void removeItem(std::int64_t id);

    const DownloadItem& itemAt(int row) const;

    struct Totals {
        int running = 0;  // running or merging
        int queued = 0;
        int done = 0;
        std::int64_t speed = 0;
    };
    Totals totals() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    int rowOf(std::size_t position) const;
    void reindex();

    std::vector<DownloadItem> items_;  // oldest first; rows show them newest first
    std::unordered_map<std::int64_t, std::size_t> positions_;
};

}  // namespace quivra
