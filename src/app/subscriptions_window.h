// The subscriptions window (其他功能 > 订阅): the lists followed, with what their last check
// found and when the next comes; an address box and its options to add one; 立即检查,
// 暂停订阅 (继续订阅 for a paused one) and 删除订阅 for the chosen row. The schedule of the
// core does the work; the table shows what its store holds.
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

#include "download/download_core.h"
#include "download/subscription/subscription.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace quivra {

class SubscriptionListener;
class SubscriptionSchedule;
class SubscriptionsModel;

class SubscriptionsWindow : public QWidget {
    Q_OBJECT

  public:
    // Opens the window over the core's schedule, or raises the one already open; nullptr
    // (after a message) when the program has no schedule.
    static SubscriptionsWindow* showFor(std::shared_ptr<DownloadCore> core);

    explicit SubscriptionsWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    ~SubscriptionsWindow() override;

    SubscriptionsModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    QLineEdit* addressEdit() const { return address_; }
    QLineEdit* folderEdit() const { return folder_; }
    QComboBox* videoQualityBox() const { return videoQuality_; }
    QComboBox* audioQualityBox() const { return audioQuality_; }
    QDateTimeEdit* sinceEdit() const { return since_; }
    QCheckBox* backCatalogueBox() const { return backCatalogue_; }
    QSpinBox* intervalBox() const { return interval_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* checkButton() const { return check_; }
    QPushButton* pauseButton() const { return pause_; }
    QPushButton* removeButton() const { return remove_; }

    // The table shows the store's subscriptions again.
    void refresh();

  public slots:
    // 添加: the address must name a list; its first page is read on a thread of its own,
    // then the subscription is stored with the options chosen.
    void addSubscription();
    void checkChosen();
    void pauseOrResumeChosen();
    void removeChosen();

  private:
    std::optional<Subscription> chosen() const;
    Subscription wanted() const;
    void updateButtons();
    void chooseAgain();
    void added(const std::string& failure);

    const std::shared_ptr<DownloadCore> core_;
    const std::shared_ptr<SubscriptionSchedule> schedule_;
    std::shared_ptr<SubscriptionListener> listener_;
    SubscriptionsModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QComboBox* videoQuality_ = nullptr;
    QComboBox* audioQuality_ = nullptr;
    QDateTimeEdit* since_ = nullptr;
    QCheckBox* backCatalogue_ = nullptr;
    QSpinBox* interval_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* check_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* remove_ = nullptr;
    std::int64_t chosenId_ = 0;  // kept while the rows are shown anew
};

}  // namespace quivra
