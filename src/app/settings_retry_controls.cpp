#include "app/settings_retry_controls.h"

#include <QSpinBox>

#include <string>

#include "app/controls_window.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "download/list/download_queue.h"

namespace quivra {

QSpinBox* addRetryControls(QWidget* window, int top, std::shared_ptr<DownloadQueue> queue) {
    newLabel(window, "透明标签_retries", QStringLiteral("自动重试次数："), {8, top, 96, 32});
    auto* box = new QSpinBox(window);
    box->setObjectName(QStringLiteral("编辑框_retries"));
    box->setGeometry(104, top, 64, 32);
    box->setRange(0, kMaxRetries);
    box->setValue(sharedState().download.get().retries);
    QObject::connect(box, &QSpinBox::valueChanged, window, [queue](int retries) {
        sharedState().download.update([&](DownloadSettings& s) { s.retries = retries; });
        writeConfigItem(sharedState().configPath, "download", "retries", std::to_string(retries));
        RetryPolicy policy = queue->retryPolicy();
        policy.tries = retries;
        queue->setRetryPolicy(std::move(policy));
    });
    return box;
}

}  // namespace quivra
