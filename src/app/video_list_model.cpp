#include "app/video_list_model.h"

#include <QDateTime>

#include <algorithm>

#include "app/controls_window.h"
#include "video/title_cleaning.h"

namespace quivra {

namespace {

const char* const kVideoListHeaders[] = {"#", "标题", "时长", "发布时间", "分P数", "BV", "状态"};

}  // namespace

VideoListModel::Row VideoListModel::rowOf(ListEntry entry) {
    Row row;
    row.cells.title = toQString(entry.title);
    if (entry.durationSeconds >= 0) {
        row.cells.duration = toQString(formatDuration(entry.durationSeconds));
    }
    // Local time, as the date range that picks rows (parseDay) reads its days.
    if (entry.published > 0) {
        row.cells.published = QDateTime::fromSecsSinceEpoch(entry.published)
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    row.cells.state = toQString(entry.unavailable);
    row.entry = std::move(entry);
    return row;
}

void VideoListModel::appendRows(std::vector<Row> rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (Row& row : rows) {
        entries_.push_back(std::move(row.entry));
        cells_.push_back(std::move(row.cells));
        checked_.push_back(0);
    }
    endInsertRows();
}

void VideoListModel::setCheckedRows(const std::vector<size_t>& rows) {
    std::fill(checked_.begin(), checked_.end(), 0);
    for (size_t row : rows) {
        if (row < entries_.size() && available(row)) checked_[row] = 1;
    }
    if (!entries_.empty())
        emit dataChanged(index(0, NumberColumn), index(rowCount() - 1, NumberColumn),
                         {Qt::CheckStateRole});
}

std::vector<size_t> VideoListModel::checkedRows() const {
    std::vector<size_t> rows;
    for (size_t row = 0; row < checked_.size(); ++row) {
        if (checked_[row]) rows.push_back(row);
    }
    return rows;
}

void VideoListModel::setState(size_t row, const QString& text) {
    if (row >= entries_.size() || !available(row)) return;
    cells_[row].state = text;
    const QModelIndex cell = index(static_cast<int>(row), StateColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int VideoListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int VideoListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant VideoListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = static_cast<size_t>(index.row());
    const ListEntry& entry = entries_[row];
    const Cells& cells = cells_[row];
    if (role == Qt::CheckStateRole && index.column() == NumberColumn && available(row)) {
        return checked_[row] ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case NumberColumn:
            return index.row() + 1;
        case TitleColumn:
            return cells.title;
        case DurationColumn:
            return cells.duration;
        case PublishedColumn:
            return cells.published;
        case PartsColumn:
            return entry.parts > 0 ? QString::number(entry.parts) : QString();
        case BvidColumn:
            return QString::fromStdString(entry.bvid);
        case StateColumn:
            return cells.state;
    }
    return {};
}

bool VideoListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != NumberColumn) {
        return false;
    }
    const auto row = static_cast<size_t>(index.row());
    if (row >= entries_.size() || !available(row)) return false;
    checked_[row] = value.value<Qt::CheckState>() == Qt::Checked ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

// A row that cannot be downloaded is not enabled: the view greys it and offers no check box.
Qt::ItemFlags VideoListModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= rowCount()) return Qt::NoItemFlags;
    if (!available(static_cast<size_t>(index.row()))) return Qt::ItemNeverHasChildren;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == NumberColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant VideoListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf8(kVideoListHeaders[section]);
}

}  // namespace quivra
