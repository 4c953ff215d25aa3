#include "app/clipboard_watch.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>

#include <set>

#include "app/address_intake.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"
#include "video/identifier.h"

namespace quivra {

namespace {

// A larger copy is a document, not a list of addresses.
constexpr qsizetype kLongestCopy = 256 * 1024;

}  // namespace

QStringList videoAddressesIn(const QString& text) {
    QStringList found;
    if (text.size() > kLongestCopy) return found;
    std::set<std::string> seen;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& word : text.split(blanks, Qt::SkipEmptyParts)) {
        const std::optional<std::string> bvid = extractBvid(utf8ToLocalText(word.toStdString()));
        if (bvid && seen.insert(*bvid).second) found << word;
    }
    return found;
}

ClipboardWatch::ClipboardWatch(std::shared_ptr<DownloadCore> core, QObject* parent)
    : QObject(parent), core_(std::move(core)) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &ClipboardWatch::clipboardChanged);
}

void ClipboardWatch::clipboardChanged() {
    if (!core_->settings.get().watchClipboard) return;
    receiveAddresses(core_, videoAddressesIn(QGuiApplication::clipboard()->text()));
}

}  // namespace quivra
