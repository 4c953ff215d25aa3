#include "app/download_list_model.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>

#include "app/controls_window.h"
#include "download/job/progress_text.h"

namespace quivra {

namespace {

const char* const kHeaders[] = {"视频/分P", "清晰度",   "大小", "进度",
                                "速度",     "剩余时间", "状态", "完成时间"};

bool isTransferring(ItemState state) {
    return state == ItemState::Running || state == ItemState::Merging;
}

int percentOf(const DownloadItem& item) {
    if (item.state == ItemState::Done) return 100;
    if (item.bytesTotal <= 0) return 0;
    return static_cast<int>(
        std::clamp<std::int64_t>(item.bytesDone * 100 / item.bytesTotal, 0, 100));
}

QString text(const DownloadItem& item, int column) {
    const DownloadRequest& part = item.request;
    switch (column) {
        case DownloadListModel::TitleColumn:
            return toQString(part.siteTitle.empty() ? part.videoTitle : part.siteTitle) +
                   QStringLiteral(" / ") + toQString(part.pageTitle);
        case DownloadListModel::QualityColumn:
            return part.qualityName.empty() ? QString::number(part.videoQuality)
                                            : toQString(part.qualityName);
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
            return toQString(itemStateText(item, QDateTime::currentMSecsSinceEpoch()));
        case DownloadListModel::FinishedColumn:
            return item.finishedAt > 0 ? QDateTime::fromSecsSinceEpoch(item.finishedAt)
                                             .toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                       : QString();
    }
    return {};
}

}  // namespace

DownloadListModel::DownloadListModel(QObject* parent) : QAbstractTableModel(parent) {
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

void DownloadListModel::reset(std::vector<DownloadItem> items) {
    beginResetModel();
    items_ = std::move(items);
    std::sort(items_.begin(), items_.end(),
              [](const DownloadItem& a, const DownloadItem& b) { return a.id < b.id; });
    reindex();
    endResetModel();
}

void DownloadListModel::update(const DownloadItem& item) {
    const auto found = positions_.find(item.id);
    if (found != positions_.end()) {
        items_[found->second] = item;
        const int row = rowOf(found->second);
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return;
    }
    // Ids grow, so a new item is normally the newest: the top row.
    const auto at =
        std::upper_bound(items_.begin(), items_.end(), item.id,
                         [](std::int64_t id, const DownloadItem& other) { return id < other.id; });
    const auto position = static_cast<std::size_t>(at - items_.begin());
    const int row = static_cast<int>(items_.size() - position);
    beginInsertRows({}, row, row);
    items_.insert(at, item);
    if (position + 1 == items_.size()) {
        positions_[item.id] = position;
    } else {
        reindex();
    }
    endInsertRows();
}

void DownloadListModel::removeItem(std::int64_t id) {
    const auto found = positions_.find(id);
    if (found == positions_.end()) return;
    const int row = rowOf(found->second);
    beginRemoveRows({}, row, row);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(found->second));
    reindex();
    endRemoveRows();
}

const DownloadItem& DownloadListModel::itemAt(int row) const {
    return items_[items_.size() - 1 - static_cast<std::size_t>(row)];
}

DownloadListModel::Totals DownloadListModel::totals() const {
    Totals totals;
    for (const DownloadItem& item : items_) {
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
    const DownloadItem& item = itemAt(index.row());
    if (role == Qt::DisplayRole) return text(item, index.column());
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

int DownloadListModel::rowOf(std::size_t position) const {
    return static_cast<int>(items_.size() - 1 - position);
}

void DownloadListModel::reindex() {
    positions_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) positions_[items_[i].id] = i;
}

}  // namespace quivra
