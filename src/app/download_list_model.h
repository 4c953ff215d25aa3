// The items of the download list as a table, newest first: one row per part of any video.
// It keeps what its columns show and the commands need of each item (a list may hold
// hundreds of thousands), updated on the GUI thread from the queue's events.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "download/list/download_item.h"

namespace quivra {
class DownloadQueue;
}

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

    // What a row keeps of its item: what changes as it runs. What its request fixed (the
    // title, the quality) is read from the queue's item when a cell is shown.
    struct Row {
        std::int64_t id = 0;
        ItemState state = ItemState::Queued;
        std::string errorText;  // local text
        std::int64_t bytesDone = 0;
        std::int64_t bytesTotal = 0;
        std::int64_t speed = 0;
        std::int64_t finishedAt = 0;
        std::int64_t retryAt = 0;
        int retry = 0;
        int retryLimit = 0;
        std::optional<int> windowStart;
    };
    static Row rowOf(const DownloadItem& item);

    explicit DownloadListModel(std::shared_ptr<const DownloadQueue> queue,
                               QObject* parent = nullptr);

    void reset();          // every item of the queue
    void update(Row row);  // a new item comes in at the top
    void update(const DownloadItem& item) { update(rowOf(item)); }
    void removeItem(std::int64_t id);

    const Row& itemAt(int row) const;

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
    int rowAt(std::size_t position) const;
    void reindex();

    std::shared_ptr<const DownloadQueue> queue_;
    std::vector<Row> items_;  // oldest first; rows show them newest first
    std::unordered_map<std::int64_t, std::size_t> positions_;
};

}  // namespace quivra
