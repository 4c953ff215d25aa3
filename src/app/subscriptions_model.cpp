#include "app/subscriptions_model.h"

#include <QDateTime>

#include <utility>

#include "app/controls_window.h"
#include "video/listing/list_address.h"

namespace quivra {

namespace {

// A paused one says so before what its last check found.
QString stateText(const Subscription& subscription) {
    const QString status = toQString(subscription.status);
    if (!subscription.paused) return status;
    return status.isEmpty() ? QStringLiteral("已暂停") : QStringLiteral("已暂停，") + status;
}

}  // namespace

QString checkTimeText(std::int64_t secondsSinceEpoch) {
    if (secondsSinceEpoch == 0) return {};
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).toString(QStringLiteral("MM-dd HH:mm"));
}

void SubscriptionsModel::show(std::vector<Subscription> subscriptions) {
    beginResetModel();
    subscriptions_ = std::move(subscriptions);
    endResetModel();
}

int SubscriptionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(subscriptions_.size());
}

int SubscriptionsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SubscriptionsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const Subscription& subscription = subscriptions_[static_cast<size_t>(index.row())];
    switch (index.column()) {
        case NameColumn:
            return toQString(subscription.name);
        case KindColumn:
            return toQString(listKindName(subscription.kind));
        case FolderColumn:
            return toQString(subscription.folder);
        case LastCheckColumn:
            return checkTimeText(subscription.lastCheck);
        case NewVideosColumn:
            return subscription.lastCheck == 0 ? QString() : QString::number(subscription.newCount);
        case NextCheckColumn:
            return subscription.paused ? QString() : checkTimeText(subscription.nextCheck);
        case StateColumn:
            return stateText(subscription);
        default:
            return {};
    }
}

QVariant SubscriptionsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const QString kHeaders[ColumnCount] = {
        QStringLiteral("名称"),     QStringLiteral("类型"),   QStringLiteral("文件夹"),
        QStringLiteral("上次检查"), QStringLiteral("新视频"), QStringLiteral("下次检查"),
        QStringLiteral("状态")};
    return section >= 0 && section < ColumnCount ? kHeaders[section] : QVariant();
}

}  // namespace quivra
