#include "app/settings_codec_control.h"

#include <QComboBox>

#include <algorithm>
#include <string>
#include <vector>

#include "app/controls_window.h"
#include "app/setting_control.h"
#include "download/download_core.h"
#include "video/video_codec.h"

namespace quivra {

namespace {

// "AVC > HEVC > AV1"
QString orderLabel(const std::vector<VideoCodec>& order) {
    QString label;
    for (const VideoCodec codec : order) {
        if (!label.isEmpty()) label += QStringLiteral(" > ");
        label += QString::fromStdString(codecName(codec));
    }
    return label;
}

// Every order, the default first: its codecids ascend.
std::vector<std::vector<VideoCodec>> everyOrder() {
    std::vector<VideoCodec> order = defaultCodecOrder();
    std::vector<std::vector<VideoCodec>> orders;
    do {
        orders.push_back(order);
    } while (std::next_permutation(order.begin(), order.end()));
    return orders;
}

}  // namespace

int addCodecControl(QWidget* window, int y, DownloadCore& core) {
    const SettingKey key = SettingKey::VideoCodecs;
    newLabel(window, settingControlName("透明标签_", key).c_str(), QStringLiteral("视频编码："),
             {8, y, 96, 32});
    auto* box = new QComboBox(window);
    box->setObjectName(settingObjectName("组合框_", key));
    box->setGeometry(104, y + 4, 160, 24);
    for (const std::vector<VideoCodec>& order : everyOrder()) {
        box->addItem(orderLabel(order), QString::fromStdString(codecOrderText(order)));
    }
    const std::vector<VideoCodec> stored =
        parseCodecOrder(core.settings.get().videoCodecs).value_or(defaultCodecOrder());
    box->setCurrentIndex(std::max(0, box->findText(orderLabel(stored))));
    QObject::connect(box, &QComboBox::currentIndexChanged, window, [&core, box](int index) {
        keepAndFollow(core,
                      {{SettingKey::VideoCodecs, box->itemData(index).toString().toStdString()}});
    });
    return y + 32;
}

}  // namespace quivra
