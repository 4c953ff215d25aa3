// Window tests run GoogleTest inside one QApplication on the offscreen platform, on one
// screen of a common desktop size (the platform's own is 800 × 600).
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

// The offscreen platform with a 1920 × 1080 screen, described in a file that the
// platform reads once, when the application starts.
QByteArray desktopSizedOffscreen(const std::filesystem::path& file) {
    std::ofstream(file) << R"({"screens": [{"name": "desktop", "x": 0, "y": 0,)"
                        << R"( "width": 1920, "height": 1080, "logicalDpi": 96}]})";
    return "offscreen:configfile=" + QByteArray::fromStdString(file.string());
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::filesystem::path screens =
        std::filesystem::temp_directory_path() /
        ("quivra-offscreen-" + std::to_string(::getpid()) + ".json");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // A death test's child inherits its parent's setting, whose file is gone: it writes its own.
    if (platform.isEmpty() || platform.startsWith("offscreen")) {
        qputenv("QT_QPA_PLATFORM", desktopSizedOffscreen(screens));
    }
    QApplication app(argc, argv);
    std::error_code ignored;
    std::filesystem::remove(screens, ignored);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
