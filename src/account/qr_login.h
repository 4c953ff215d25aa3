// QR login: asks the login host for a one-time address, shows it as a QR code and polls
// until the user confirms, the code expires or something unexpected comes back.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace quivra {

// What the worker does to the login window. Called on the worker's thread; texts are
// local text. An implementation hands the calls to the GUI thread.
class QrLoginView {
  public:
    virtual ~QrLoginView() = default;
    virtual void setStatus(const std::string& text) = 0;
    virtual void setPicture(const std::string& bmp) = 0;
    virtual std::string picture() = 0;
    // Blocks until the box is dismissed.
    virtual void showMessage(const std::string& text) = 0;
    virtual void closeWindow() = 0;
};

// Cooperative stop shared by the window and one worker.
class CancelToken {
  public:
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // Sleeps for duration; false (at once) when cancelled before or during the sleep.
    bool waitFor(std::chrono::milliseconds duration);

  private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

inline constexpr std::chrono::milliseconds kQrPollInterval{3000};

// The poll body's fixed gourl: main + "/" with ':' as "%3A" and '/' as "%2F".
std::string encodedMainPageAddress(const std::string& main);

// The QR-login conversation, run to its end on the calling thread. Once token is
// cancelled it sends no further request and calls the view no more.
void runQrLogin(QrLoginView& view, CancelToken& token,
                std::chrono::milliseconds pollInterval = kQrPollInterval);

// The program's one QR-login worker. Starting a new one cancels the previous one without
// waiting for it; a cancelled worker ends after its current request.
void startQrLoginWorker(std::shared_ptr<CancelToken> token, std::shared_ptr<QrLoginView> view,
                        std::chrono::milliseconds pollInterval = kQrPollInterval);
void stopQrLoginWorker();
// Blocks until every worker thread has ended (tests, and the end of the process).
void joinQrLoginWorkers();

}  // namespace quivra
