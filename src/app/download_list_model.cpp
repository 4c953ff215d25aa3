#include "app/download_list_model.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>

#include "app/controls_window.h"
#include "download/job/progress_text.h"
#include "download/list/download_queue.h"

namespace quivra {

namespace {

const char* const kHeaders[] = {"视频/分P", "清晰度",   "大小", "进度",
                                "速度",     "剩余时间", "状态", "完成时间"};

bool isTransferring(ItemState state) {
    return state == ItemState::Running || state == ItemState::Merging;
}

using Row = DownloadListModel::Row;

int percentOf(const Row& item) {
    if (item.state == ItemState::Done) return 100;
    if (item.bytesTotal <= 0) return 0;
    return static_cast<int>(
        std::clamp<std::int64_t>(item.bytesDone * 100 / item.bytesTotal, 0, 100));
}

// The "状态" text of itemStateText, from what the row keeps.
std::string stateText(const Row& row) {
    DownloadItem item;
    item.state = row.state;
    item.errorText = row.errorText;
    item.retry = row.retry;
    item.retryLimit = row.retryLimit;
    item.retryAt = row.retryAt;
    item.windowStart = row.windowStart;
    return itemStateText(item, QDateTime::currentMSecsSinceEpoch());
}

// The columns of what the item's request fixed; empty once it left the queue.
QString requestText(const DownloadQueue& queue, std::int64_t id, int column) {
    QString text;
    queue.visitItem(id, [&](const DownloadItem& item) {
        const DownloadRequest& part = item.request;
        if (column == DownloadListModel::TitleColumn) {
            text = toQString(part.siteTitle.empty() ? part.videoTitle : part.siteTitle) +
                   QStringLiteral(" / ") + toQString(part.pageTitle);
        } else {
            text = toQString(itemQualityText(item));
        }
    });
    return text;
}

// The columns of what changes as the item runs.
QString text(const Row& item, int column) {
    switch (column) {
        case DownloadListModel::SizeColumn:
            return item.bytesTotal > 0 ? toQString(byteSizeText(item.bytesTotal)) : QString();
        case DownloadListModel::ProgressColumn:
            return QString::number(percentOf(item)) + u'%';
        case DownloadListModel::SpeedColumn:
            return item.state == ItemState::Running && item.speed > 0
                       ? toQString(byteSizeText(item.speed)) + QStringLiteral("/s")
                       : QString();
        case DownloadListModel::RemainingColumn:
            if (item.state != ItemState::Running || item.speed <= 0) return {};
            return toQString(remainingText(
                std::max<std::int64_t>(item.bytesTotal - item.bytesDone, 0) / item.speed));
        case DownloadListModel::StateColumn:
            return toQString(stateText(item));
        case DownloadListModel::FinishedColumn:
            return item.finishedAt > 0 ? QDateTime::fromSecsSinceEpoch(item.finishedAt)
                                             .toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                       : QString();
    }
    return {};
}

}  // namespace

DownloadListModel::DownloadListModel(std::shared_ptr<const DownloadQueue> queue, QObject* parent)
    : QAbstractTableModel(parent), queue_(std::move(queue)) {
    // A waiting item's "状态" counts down its time left.
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, [this] {
        for (int row = 0; row < rowCount(); ++row) {
            if (itemAt(row).state != ItemState::Waiting) continue;
            const QModelIndex cell = index(row, StateColumn);
            emit dataChanged(cell, cell);
        }
    });
    clock->start(1000);
}

DownloadListModel::Row DownloadListModel::rowOf(const DownloadItem& item) {
    Row row;
    row.id = item.id;
    row.state = item.state;
    row.errorText = item.errorText;
    row.bytesDone = item.bytesDone;
    row.bytesTotal = item.bytesTotal;
    row.speed = item.speed;
    row.finishedAt = item.finishedAt;
    row.retryAt = item.retryAt;
    row.retry = item.retry;
    row.retryLimit = item.retryLimit;
    row.windowStart = item.windowStart;
    return row;
}

void DownloadListModel::reset() {
    beginResetModel();
    items_.clear();
    // Oldest first, as the queue visits them.
    queue_->visitItems([this](const DownloadItem& item) { items_.push_back(rowOf(item)); });
    items_.shrink_to_fit();
    reindex();
    endResetModel();
}

void DownloadListModel::update(Row item) {
    const auto found = positions_.find(item.id);
    if (found != positions_.end()) {
        items_[found->second] = std::move(item);
        const int row = rowAt(found->second);
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return;
    }
    // Ids grow, so a new item is normally the newest: the top row.
    const auto at =
        std::upper_bound(items_.begin(), items_.end(), item.id,
                         [](std::int64_t id, const Row& other) { return id < other.id; });
    const auto position = static_cast<std::size_t>(at - items_.begin());
    const int row = static_cast<int>(items_.size() - position);
    const std::int64_t id = item.id;
    beginInsertRows({}, row, row);
    items_.insert(at, std::move(item));
    if (position + 1 == items_.size()) {
        positions_[id] = position;
    } else {
        reindex();
    }
    endInsertRows();
}

void DownloadListModel::removeItem(std::int64_t id) {
    const auto found = positions_.find(id);
    if (found == positions_.end()) return;
    const int row = rowAt(found->second);
    beginRemoveRows({}, row, row);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(found->second));
    reindex();
    endRemoveRows();
}

const DownloadListModel::Row& DownloadListModel::itemAt(int row) const {
    return items_[items_.size() - 1 - static_cast<std::size_t>(row)];
}

DownloadListModel::Totals DownloadListModel::totals() const {
    Totals totals;
    for (const Row& item : items_) {
        if (isTransferring(item.state)) {
            ++totals.running;
            totals.speed += item.speed;
        } else if (item.state == ItemState::Queued) {
            ++totals.queued;
        } else if (item.state == ItemState::Done) {
            ++totals.done;
        }
    }
    return totals;
}

int DownloadListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int DownloadListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DownloadListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& item = itemAt(index.row());
    if (role == Qt::DisplayRole) {
        const int column = index.column();
        if (column == TitleColumn || column == QualityColumn) {
            return requestText(*queue_, item.id, column);
        }
        return text(item, column);
    }
    if (role == PercentRole && index.column() == ProgressColumn) return percentOf(item);
    return {};
}

QVariant DownloadListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf8(kHeaders[section]);
}

int DownloadListModel::rowAt(std::size_t position) const {
    return static_cast<int>(items_.size() - 1 - position);
}

void DownloadListModel::reindex() {
    positions_.clear();
    positions_.reserve(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) positions_[items_[i].id] = i;
}

}  // namespace quivra
