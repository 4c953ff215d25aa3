#include "app/download_view_window.h"

#include <QComboBox>
#include <QPointer>
#include <QTreeWidget>

#include "app/main_window.h"
#include "base/gui_thread.h"
#include "base/message_box.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

class WindowDownloadView : public DownloadView {
  public:
    explicit WindowDownloadView(MainWindow* window) : window_(window) {}

    std::shared_ptr<const ParseResult> shownParse() override {
        std::shared_ptr<const ParseResult> shown;
        onWindow([&](MainWindow& w) { shown = w.shownParse(); });
        return shown;
    }

    bool isChecked(int row) override {
        bool checked = false;
        onWindow([&](MainWindow& w) {
            if (QTreeWidgetItem* item = w.list()->topLevelItem(row)) {
                checked = item->checkState(MainWindow::NumberColumn) == Qt::Checked;
            }
        });
        return checked;
    }

    std::optional<int> videoQualityData() override {
        std::optional<int> data;
        onWindow([&](MainWindow& w) { data = selectedData(w.videoQualityBox()); });
        return data;
    }

    std::optional<int> audioQualityData() override {
        std::optional<int> data;
        onWindow([&](MainWindow& w) { data = selectedData(w.audioQualityBox()); });
        return data;
    }

    void clearVideoQualitySelection() override {
        onWindow([](MainWindow& w) { w.videoQualityBox()->setCurrentIndex(-1); });
    }

    std::string stateText(int row) override {
        std::string text;
        onWindow([&](MainWindow& w) {
            if (QTreeWidgetItem* item = w.list()->topLevelItem(row)) {
                text = utf8ToLocalText(item->text(MainWindow::StateColumn).toStdString());
            }
        });
        return text;
    }

    void setStateText(int row, const std::string& text) override {
        onWindow([&](MainWindow& w) {
            if (QTreeWidgetItem* item = w.list()->topLevelItem(row)) {
                item->setText(MainWindow::StateColumn, QString::fromStdString(localToUtf8(text)));
            }
        });
    }

    void showMessage(const std::string& text) override { showMessageBox(text); }

  private:
    static std::optional<int> selectedData(QComboBox* box) {
        if (box->currentIndex() < 0) return std::nullopt;
        bool ok = false;
        const int data = box->currentData().toInt(&ok);
        return ok ? std::optional<int>(data) : std::optional<int>(-1);
    }

    template <class Fn>
    void onWindow(Fn&& fn) {
        callOnGui([this, &fn] {
            if (window_) fn(*window_);
        });
    }

    QPointer<MainWindow> window_;  // read on the GUI thread only
};

class RowStateListener : public DownloadQueueListener {
  public:
    explicit RowStateListener(MainWindow* window) : view_(makeWindowDownloadView(window)) {}

    void itemChanged(const DownloadItem& item) override {
        postToGui([view = view_, item] { showItemInRow(*view, item); });
    }
    void itemRemoved(std::int64_t) override {}

  private:
    std::shared_ptr<DownloadView> view_;
};

}  // namespace

std::shared_ptr<DownloadView> makeWindowDownloadView(MainWindow* window) {
    return std::make_shared<WindowDownloadView>(window);
}

std::shared_ptr<DownloadQueueListener> makeRowStateListener(MainWindow* window) {
    return std::make_shared<RowStateListener>(window);
}

}  // namespace quivra
