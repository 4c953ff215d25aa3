// 监视剪贴板: while the setting is on, a copied text that names videos hands them to
// receiveAddresses (one fills the address box, several go to the batch window). Nothing
// is parsed until a press.
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

namespace quivra {

struct DownloadCore;

// The words of a copied text that name a video (an address, a BV identifier or an av
// number), each once, in their order.
QStringList videoAddressesIn(const QString& text);

class ClipboardWatch : public QObject {
    Q_OBJECT

  public:
    ClipboardWatch(std::shared_ptr<DownloadCore> core, QObject* parent);

  private:
    const std::shared_ptr<DownloadCore> core_;
    void clipboardChanged();
};

}  // namespace quivra
