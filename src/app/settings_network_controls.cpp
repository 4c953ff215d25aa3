#include "app/settings_network_controls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <cstdint>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "base/message_box.h"
#include "base/proxy_route.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

struct ProxyControls {
    DownloadCore* core;
    QComboBox* mode;
    QLineEdit* address;
    QLineEdit* user;
    QLineEdit* password;

    ProxySetting setting() const {
        auto local = [](const QLineEdit* edit) {
            return utf8ToLocalText(edit->text().trimmed().toStdString());
        };
        return {static_cast<ProxyMode>(mode->currentIndex()), local(address), local(user),
                utf8ToLocalText(password->text().toStdString())};
    }

    // A proxy the engine cannot use is refused with its reason and not stored; an address
    // not typed yet waits for the typing.
    void store() const {
        const ProxySetting proxy = setting();
        if (proxy.mode == ProxyMode::Address && proxy.address.empty()) return;
        const ProxyRoute route = proxyRoute(proxy, systemProxyEnvironment());
        if (!route.failure.empty()) {
            showMessageBox(route.failure);
            return;
        }
        keepAndFollow(*core, {{SettingKey::ProxyMode, proxy.mode},
                              {SettingKey::ProxyAddress, proxy.address},
                              {SettingKey::ProxyUser, proxy.user},
                              {SettingKey::ProxyPassword, proxy.password}});
    }
};

QSpinBox* addSpeedLimit(QWidget* window, int top, DownloadCore& core) {
    const DownloadSettings settings = core.settings.get();
    const SettingRow& row = settingRow(SettingKey::SpeedLimit);
    newLabel(window, settingControlName("透明标签_", row.id).c_str(), QStringLiteral("下载限速："),
             {8, top, 64, 32});
    auto* limit = new QSpinBox(window);
    limit->setObjectName(settingObjectName("编辑框_", row.id));
    limit->setGeometry(72, top, 160, 32);
    limit->setRange(row.least, row.most);  // KB/s, as the row holds them in config.ini
    limit->setSuffix(QStringLiteral(" KB/s"));
    limit->setSpecialValueText(QStringLiteral("不限速"));
    limit->setValue(static_cast<int>(settings.speedLimit / 1024));
    QObject::connect(limit, &QSpinBox::editingFinished, window, [&core, limit] {
        keepAndFollow(core, {{SettingKey::SpeedLimit, std::int64_t{limit->value()} * 1024},
                             {SettingKey::SpeedLimitOn, core.settings.get().speedLimitOn}});
    });
    return limit;
}

}  // namespace

int addNetworkControls(QWidget* window, int top, DownloadCore& core) {
    const DownloadSettings settings = core.settings.get();
    addSpeedLimit(window, top, core);

    newLabel(window, "透明标签_proxy", QStringLiteral("代理："), {8, top + 40, 64, 32});
    auto edit = [window](SettingKey key, const QRect& place) {
        return newEdit(window, settingControlName("编辑框_", key).c_str(), place);
    };
    ProxyControls proxy{&core, new QComboBox(window),
                        edit(SettingKey::ProxyAddress, {200, top + 40, 176, 32}),
                        edit(SettingKey::ProxyUser, {72, top + 80, 120, 32}),
                        edit(SettingKey::ProxyPassword, {200, top + 80, 176, 32})};
    proxy.mode->setObjectName(settingObjectName("组合框_", SettingKey::ProxyMode));
    proxy.mode->setGeometry(72, top + 40, 120, 32);
    // In the order of ProxyMode.
    proxy.mode->addItems({QStringLiteral("不使用代理"), QStringLiteral("使用系统代理"),
                          QStringLiteral("使用以下代理")});
    proxy.address->setPlaceholderText(QStringLiteral("http://主机:端口"));
    proxy.user->setPlaceholderText(QStringLiteral("代理用户名"));
    proxy.password->setPlaceholderText(QStringLiteral("代理密码"));
    proxy.password->setEchoMode(QLineEdit::Password);

    proxy.mode->setCurrentIndex(static_cast<int>(settings.proxy.mode));
    proxy.address->setText(toQString(settings.proxy.address));
    proxy.user->setText(toQString(settings.proxy.user));
    proxy.password->setText(toQString(settings.proxy.password));

    QObject::connect(proxy.mode, &QComboBox::activated, window, [proxy] { proxy.store(); });
    for (QLineEdit* edit : {proxy.address, proxy.user, proxy.password}) {
        QObject::connect(edit, &QLineEdit::editingFinished, window, [proxy] { proxy.store(); });
    }
    return top + 120;
}

}  // namespace quivra
