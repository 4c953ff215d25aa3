#include "app/content_choice_box.h"

#include <QComboBox>

#include <algorithm>

#include "download/plan/output_format.h"

namespace quivra {

QComboBox* newContentBox(QWidget* parent, const DownloadSettings& settings) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("组合框_downloadContent"));
    for (const ContentChoice& choice : kContentChoices) {
        box->addItem(QString::fromUtf8(choice.name), QString::fromLatin1(choice.key));
    }
    const char* stored = downloadContentKey(downloadContentOf(settings.downloadContent));
    box->setCurrentIndex(std::max(0, box->findData(QString::fromLatin1(stored))));
    return box;
}

DownloadSettings withChosenContent(DownloadSettings settings, const QComboBox* box) {
    settings.downloadContent = box->currentData().toString().toStdString();
    return settings;
}

}  // namespace quivra
