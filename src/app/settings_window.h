// The download settings window: the folder that receives downloads and the number of
// worker threads, each stored in the shared record and in config.ini as it changes.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "download/download_core.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quivra {

class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    // (owner, title, initial folder) to the chosen folder, or "" when cancelled.
    using FolderChooser =
        std::function<QString(QWidget* owner, const QString& title, const QString& initialFolder)>;

    explicit SettingsWindow(std::shared_ptr<DownloadCore> core, QWidget* parent = nullptr);
    ~SettingsWindow() override;  // shows the main window again

    // Replaces the folder dialog (tests); an empty chooser restores the standard one.
    static void setFolderChooser(FolderChooser chooser);

    QLineEdit* directoryEdit() const { return directory_; }
    QLineEdit* threadNumberEdit() const { return threadNumber_; }
    // Says that the pool runs at most ThreadPool::kMaxThreads; shown while the box asks
    // for more.
    QLabel* threadLimitLabel() const { return threadLimit_; }
    QPushButton* chooseButton() const { return choose_; }
    QCheckBox* resumeOnStartBox() const { return resumeOnStart_; }
    QSpinBox* retriesBox() const { return retries_; }

  public slots:
    void chooseFolder();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    const std::shared_ptr<DownloadCore> core_;
    void storeDirectory();
    void storeThreadNumber();
    void storeResumeOnStart(bool on);
    void showThreadLimit();

    QLineEdit* directory_ = nullptr;
    QPushButton* choose_ = nullptr;
    QLineEdit* threadNumber_ = nullptr;
    QCheckBox* resumeOnStart_ = nullptr;
    QLabel* threadLimit_ = nullptr;
    QSpinBox* retries_ = nullptr;
    bool threadNumberEdited_ = false;
};

}  // namespace quivra
