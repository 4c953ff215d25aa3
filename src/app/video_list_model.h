// The videos of a listing as a table: a row per entry in list order, a check box in front
// of each that can be downloaded, and the state its download reached. Rows come page by
// page; a list of 10,000 keeps its texts made once, off the GUI thread.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <vector>

#include "video/listing/list_entry.h"

namespace quivra {

class VideoListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        NumberColumn,  // with the check box
        TitleColumn,
        DurationColumn,
        PublishedColumn,
        PartsColumn,
        BvidColumn,
        StateColumn,
        ColumnCount
    };

    // The texts of a row's cells that take a conversion to make.
    struct Cells {
        QString title;
        QString duration;
        QString published;
        QString state;  // the reason it cannot be downloaded, later its download's state
    };
    struct Row {
        ListEntry entry;
        Cells cells;
    };
    // Made on the listing's thread, so the GUI thread only inserts.
    static Row rowOf(ListEntry entry);

    using QAbstractTableModel::QAbstractTableModel;

    // The rows after the last one, in one insertion.
    void appendRows(std::vector<Row> rows);
    // The entries in list order (for filterEntries and the download).
    const std::vector<ListEntry>& entries() const { return entries_; }

    // Checks exactly these rows (indexes into entries()); rows that cannot be downloaded
    // are never checked.
    void setCheckedRows(const std::vector<size_t>& rows);
    std::vector<size_t> checkedRows() const;
    bool isChecked(size_t row) const { return checked_[row] != 0; }

    // The 状态 cell of a row that can be downloaded.
    void setState(size_t row, const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    bool available(size_t row) const { return entries_[row].unavailable.empty(); }

    // Parallel, one element per row: entries_ is handed out whole.
    std::vector<ListEntry> entries_;
    std::vector<Cells> cells_;
    std::vector<char> checked_;
};

}  // namespace quivra
