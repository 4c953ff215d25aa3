// The batch window (其他功能 > 批量下载): a box of addresses, BV identifiers or av numbers
// in any number, typed, pasted or loaded from a text file; 开始 downloads every part of
// each at the default qualities, and the list below says how each address went.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "download/download_core.h"
#include "download/list/download_queue.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quivra {

class BatchRun;

class BatchWindow : public QWidget {
    Q_OBJECT

  public:
    // Column indexes of 超级列表框_addresses.
    enum Column { AddressColumn = 0, StateColumn = 1 };

    // Opens the window over the core's list, or raises the one already open.
    static BatchWindow* showFor(std::shared_ptr<DownloadCore> core);

    explicit BatchWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    ~BatchWindow() override;

    // Adds addresses below those in the box, one a line: where the search window, a second
    // start of the program or the clipboard hand theirs over.
    void addAddresses(const QStringList& addresses);
    // Adds the addresses of a text file (UTF-8); false (after a message) when unreadable.
    bool loadFile(const QString& path);

    QPlainTextEdit* addressEdit() const { return addresses_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* openFileButton() const { return openFile_; }
    QTreeWidget* list() const { return list_; }

  public slots:
    // 开始: the box's addresses move to the list below, duplicates dropped, one row each,
    // and are parsed two at a time. Asked while a run goes on, it follows that run.
    void start();
    // The run is over: 开始 works again.
    void runFinished();
    void chooseFile();

  private:
    std::shared_ptr<DownloadCore> core_;
    std::shared_ptr<DownloadQueue> queue_;
    std::shared_ptr<BatchRun> run_;  // the run going on, or nullptr
    bool startAgain_ = false;
    QPlainTextEdit* addresses_ = nullptr;
    QPushButton* openFile_ = nullptr;
    QComboBox* content_ = nullptr;  // 下载内容 of the parts it starts
    QPushButton* start_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

}  // namespace quivra
