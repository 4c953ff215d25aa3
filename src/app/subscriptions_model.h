// The subscriptions as a table, a row each in the store's order: what the store holds,
// shown and never changed here.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

#include "download/subscription/subscription.h"

namespace quivra {

// A check's time as the table and the tray show it ("12-10 15:30"); "" for 0 (never).
QString checkTimeText(std::int64_t secondsSinceEpoch);

class SubscriptionsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        NameColumn,
        KindColumn,
        FolderColumn,
        LastCheckColumn,
        NewVideosColumn,
        NextCheckColumn,
        StateColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The rows become these subscriptions.
    void show(std::vector<Subscription> subscriptions);
    const std::vector<Subscription>& subscriptions() const { return subscriptions_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<Subscription> subscriptions_;
};

}  // namespace quivra
