// The windows as a user sees them: under the program's skin and the CJK font it names.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>

#include <algorithm>
#include <functional>

#include "account/qr_login.h"
#include "app/batch_window.h"
#include "app/danmaku_settings_window.h"
#include "app/login_window.h"
#include "app/search_window.h"
#include "app/settings_window.h"
#include "app/startup.h"
#include "main_window_fixture.h"

namespace quivra {
namespace {

constexpr const char* kSkinFont = "WenQuanYi Micro Hei";

class WindowLookTest : public MainWindowTest {
  protected:
    void SetUp() override {
        const QString skin = loadSkinSheet(skinFilePath(QUIVRA_SOURCE_DIR "/resources"));
        ASSERT_FALSE(skin.isEmpty());
        qApp->setStyleSheet(skin);
        MainWindowTest::SetUp();
        sharedState().site.login = site().baseUrl();
        // Sizes depend on the font: a missing one would let every check pass for the wrong
        // reason, so the font the skin names must be the one drawn.
        ASSERT_TRUE(QFontDatabase::hasFamily(kSkinFont));
        window_->ensurePolished();
        ASSERT_EQ(QFontInfo(window_->videoUrlEdit()->font()).family(), kSkinFont);
    }

    void TearDown() override {
        MainWindowTest::TearDown();
        joinQrLoginWorkers();
        qApp->setStyleSheet(QString());
    }
};

// Visible widgets in `top` that do not lie wholly inside the widget holding them.
std::string widgetsOutsideTheirParent(QWidget* top) {
    QStringList outside;
    for (QWidget* child : top->findChildren<QWidget*>()) {
        if (child->isWindow() || !child->isVisible()) continue;
        if (!child->parentWidget()->rect().contains(child->geometry())) {
            outside << QStringLiteral("%1 %2 in %3 %4x%5")
                           .arg(child->objectName(), child->metaObject()->className(),
                                child->parentWidget()->metaObject()->className())
                           .arg(child->parentWidget()->width())
                           .arg(child->parentWidget()->height());
        }
    }
    return outside.join(QStringLiteral("; ")).toStdString();
}

TEST_F(WindowLookTest, EveryControlOfEveryWindowIsWhollyVisibleAtTheDefaultSize) {
    auto check = [](QWidget* window, const char* what) {
        window->show();
        QApplication::processEvents();
        EXPECT_EQ(widgetsOutsideTheirParent(window), "") << what;
    };
    check(window_, "main window");

    SettingsWindow settings(core_);
    check(&settings, "settings window");
    check(DanmakuSettingsWindow::showFor(core_, &settings), "danmaku settings window");

    auto* search = new SearchWindow(core_);
    check(search, "search window");
    delete search;

    BatchWindow batch(core_);
    check(&batch, "batch window");

    auto* login = new LoginWindow(core_);
    for (int page = 0; page < login->tabs()->count(); ++page) {
        login->tabs()->setCurrentIndex(page);
        check(login, login->tabs()->tabText(page).toUtf8().constData());
    }
    delete login;
}

// The darkest grey level in `area` of the widget as drawn: the colour of its text.
int textGrey(QWidget* widget, const QRect& area) {
    const QImage image = widget->grab(area).toImage();
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    return darkest;
}

TEST_F(WindowLookTest, DisabledControlsAndMenuItemsDrawGreyedText) {
    SearchWindow search(core_);
    QMenu* menu = search.contextMenu();
    QAction* firstPage = menu->actions().first();
    menu->popup(QPoint(0, 0));
    window_->videoUrlEdit()->setText(QStringLiteral("视频地址"));
    window_->parseButton()->setText(QStringLiteral("解析中"));

    struct Case {
        const char* what;
        QWidget* drawn;
        std::function<void(bool)> setEnabled;
        QRect textArea;  // inside the frame, clear of arrows
    };
    auto control = [](const char* what, QWidget* widget, int arrowWidth) {
        return Case{what, widget, [widget](bool on) { widget->setEnabled(on); },
                    widget->rect().adjusted(3, 3, -3 - arrowWidth, -3)};
    };
    const Case cases[] = {
        control("push button", window_->parseButton(), 0),
        control("edit", window_->videoUrlEdit(), 0),
        control("combo box", window_->audioQualityBox(), 14),
        {"menu item", menu, [&](bool on) { firstPage->setEnabled(on); },
         menu->actionGeometry(firstPage)},
    };
    for (const Case& c : cases) {
        c.setEnabled(true);
        const int enabled = textGrey(c.drawn, c.textArea);
        c.setEnabled(false);
        const int disabled = textGrey(c.drawn, c.textArea);
        // Clearly greyed: far lighter than the same text enabled.
        EXPECT_GE(disabled - enabled, 80) << c.what << ": " << enabled << " vs " << disabled;
    }
    menu->hide();
}

}  // namespace
}  // namespace quivra
