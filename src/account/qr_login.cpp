#include "account/qr_login.h"

#include <QCoreApplication>

#include <system_error>
#include <thread>
#include <vector>

#include "account/qr_image.h"
#include "account/user_info.h"
#include "base/gui_thread.h"
#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {

void CancelToken::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_all();
}

bool CancelToken::waitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return cancelled_.load(); });
}

std::string encodedMainPageAddress(const std::string& main) {
    std::string encoded;
    for (const char c : main + "/") {
        if (c == ':') {
            encoded += "%3A";
        } else if (c == '/') {
            encoded += "%2F";
        } else {
            encoded += c;
        }
    }
    return encoded;
}

namespace {

// The view, called only while the worker has not been stopped.
class GuardedView {
  public:
    GuardedView(QrLoginView& view, const CancelToken& token) : view_(view), token_(token) {}

    bool live() const { return !token_.cancelled(); }

    bool setStatus(const char* utf8) { return setStatusText(localText(utf8)); }
    bool setStatusText(const std::string& text) {
        if (!live()) return false;
        view_.setStatus(text);
        return true;
    }
    bool setPicture(const std::string& bmp) {
        if (!live()) return false;
        view_.setPicture(bmp);
        return true;
    }
    std::string picture() { return live() ? view_.picture() : std::string(); }
    bool showMessage(const std::string& text) {
        if (!live()) return false;
        view_.showMessage(text);
        return true;
    }
    void closeWindow() {
        if (live()) view_.closeWindow();
    }

  private:
    QrLoginView& view_;
    const CancelToken& token_;
};

// status true: the poll's cookies go to the account endpoint.
void finishLogin(GuardedView& view, std::string& cookie) {
    if (!view.setStatus("正在获取用户信息") || !view.live()) return;
    const bool accepted = fetchUserInfo(cookie);
    const UserRecord user = sharedState().user.get();
    if (accepted) {
        if (!view.setStatus("登陆成功")) return;
        if (!view.showMessage(localText("登录成功，欢迎您：") + user.name)) return;
        view.closeWindow();
        return;
    }
    if (!view.setStatusText(user.failureMessage)) return;
    view.showMessage(localText("登录失败，原因：") + user.failureMessage);
}

}  // namespace

void runQrLogin(QrLoginView& qrView, CancelToken& token, std::chrono::milliseconds pollInterval) {
    GuardedView view(qrView, token);
    const SiteAddresses site = sharedState().site;
    JsonObject json;

    if (!view.live()) return;
    HttpRequestOptions ask;
    ask.headers = kBrowserUserAgentLine;
    if (!json.parse(utf8ToLocalText(siteRequest(site.login + "/qrcode/getLoginUrl", ask)))) {
        return;
    }
    std::string loginAddress = json.getText("data.url");
    const std::string loginKey = json.getText("data.oauthKey");
    json.clear();

    const std::string image = makeQrImage(loginAddress, 0, 0, 0.15);
    if (!view.setPicture(image) || view.picture().empty()) return;

    const std::string pollBody =
        "oauthKey=" + loginKey + "&gourl=" + encodedMainPageAddress(site.main);
    std::string cookie;
    while (view.live()) {
        HttpRequestOptions poll;
        poll.method = 1;
        poll.postText = pollBody;
        poll.cookies = &cookie;
        poll.headers = kBrowserUserAgentLine;
        const std::string answer = siteRequest(site.login + "/qrcode/getLoginInfo", poll);
        if (!json.parse(utf8ToLocalText(answer))) return;

        const std::string state = json.getJson("status");
        if (state == "true") {
            json.clear();
            finishLogin(view, cookie);
            return;
        }
        if (state != "false") {
            view.setStatus("未知错误");
            return;
        }
        const std::string code = json.valueText("data");
        json.clear();
        if (code == "-4") {
            view.setStatus("等待扫描二维码");
        } else if (code == "-5") {
            view.setStatus("请点击确认登录");
        } else if (code == "-2") {
            view.setStatus("二维码已过期，请刷新");
            return;
        } else {
            view.setStatus("未知错误");
            return;
        }
        if (!token.waitFor(pollInterval)) return;
    }
}

namespace {

struct WorkerThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

// The one worker slot of the program, and the threads of stopped workers that may still
// be finishing a request.
class WorkerSlot {
  public:
    ~WorkerSlot() {
        stop();
        joinAll();
    }

    void start(std::shared_ptr<CancelToken> token, std::shared_ptr<QrLoginView> view,
               std::chrono::milliseconds pollInterval) {
        std::lock_guard lock(mutex_);
        if (current_) current_->cancel();
        reapFinished();
        current_ = token;
        auto done = std::make_shared<std::atomic<bool>>(false);
        threads_.reserve(threads_.size() + 1);  // the push below cannot fail then
        try {
            std::thread thread([token, view, pollInterval, done] {
                runQrLogin(*view, *token, pollInterval);
                *done = true;
            });
            threads_.push_back({std::move(thread), std::move(done)});
        } catch (const std::system_error&) {
            // No thread could be made: no code is fetched, the label keeps its text.
        }
    }

    void stop() {
        std::lock_guard lock(mutex_);
        if (current_) current_->cancel();
    }

    void joinAll() {
        std::vector<WorkerThread> threads;
        {
            std::lock_guard lock(mutex_);
            threads.swap(threads_);
        }
        // A worker may be waiting for the GUI thread; keep it served while waiting here.
        const bool serveEvents = QCoreApplication::instance() != nullptr && isGuiThread();
        for (WorkerThread& worker : threads) {
            while (serveEvents && !worker.done->load()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            worker.thread.join();
        }
    }

  private:
    void reapFinished() {
        for (auto it = threads_.begin(); it != threads_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex mutex_;
    std::shared_ptr<CancelToken> current_;
    std::vector<WorkerThread> threads_;
};

WorkerSlot& workerSlot() {
    static WorkerSlot slot;
    return slot;
}

}  // namespace

void startQrLoginWorker(std::shared_ptr<CancelToken> token, std::shared_ptr<QrLoginView> view,
                        std::chrono::milliseconds pollInterval) {
    workerSlot().start(std::move(token), std::move(view), pollInterval);
}

void stopQrLoginWorker() {
    workerSlot().stop();
}

void joinQrLoginWorkers() {
    workerSlot().joinAll();
}

}  // namespace quivra
