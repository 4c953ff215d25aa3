#include "app/list_window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"

namespace quivra {

namespace {

constexpr int kGap = 8;

std::optional<QRect> keptGeometry() {
    const QStringList parts =
        QString::fromStdString(sharedState().download.get().listWindowGeometry).split(u',');
    if (parts.size() != 4) return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    const QRect kept(numbers[0], numbers[1], numbers[2], numbers[3]);
    // A screen that is gone since (or a hand-edited value) must not hide the window.
    if (kept.width() < 200 || kept.height() < 120) return std::nullopt;
    if (QGuiApplication::screenAt(kept.center()) == nullptr) return std::nullopt;
    return kept;
}

}  // namespace

QPoint besideMainWindow(const QRect& mainFrame, const QSize& size, const QRect& screen) {
    const int top = std::clamp(mainFrame.top(), screen.top(),
                               std::max(screen.top(), screen.bottom() + 1 - size.height()));
    const int right = mainFrame.right() + 1 + kGap;
    if (right + size.width() <= screen.right() + 1) return {right, top};
    const int left = mainFrame.left() - kGap - size.width();
    if (left >= screen.left()) return {left, top};
    const bool rightRoomier =
        screen.right() - mainFrame.right() >= mainFrame.left() - screen.left();
    const int edge = rightRoomier ? screen.right() + 1 - size.width() : screen.left();
    return {std::max(edge, screen.left()), top};
}

void placeListWindow(QWidget* list) {
    if (const std::optional<QRect> kept = keptGeometry()) {
        list->resize(kept->size());
        list->move(kept->topLeft());
        return;
    }
    const MainWindow* main = MainWindow::instance();
    if (main == nullptr || !main->isVisible()) {
        list->move(80, 80);
        return;
    }
    const QScreen* screen = main->screen();
    // Before it is first shown the frame is not known; the main window's is alike.
    const QSize frame = list->size() + (main->frameGeometry().size() - main->size());
    list->move(besideMainWindow(main->frameGeometry(), frame,
                                screen ? screen->availableGeometry() : QRect()));
}

void keepListWindowPlace(const QWidget* list) {
    const QPoint place = list->pos();
    const QSize size = list->size();
    // Where the window lies changes nothing else: kept only.
    keepSettings({{SettingKey::ListWindowGeometry,
                   std::to_string(place.x()) + "," + std::to_string(place.y()) + "," +
                       std::to_string(size.width()) + "," + std::to_string(size.height())}});
}

}  // namespace quivra
