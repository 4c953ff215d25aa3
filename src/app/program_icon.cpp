#include "app/program_icon.h"

namespace quivra {

QIcon programIcon() {
    QIcon builtIn;
    for (const int size : {32, 64, 256}) {
        builtIn.addFile(QStringLiteral(":/icons/%1/quivra-downloader.png").arg(size),
                        QSize(size, size));
    }
    return QIcon::fromTheme(QStringLiteral("quivra-downloader"), builtIn);
}

}  // namespace quivra
