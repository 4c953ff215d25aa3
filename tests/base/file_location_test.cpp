#include "base/file_location.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

using test::fileMode;
using test::TempFolder;
using test::writeBytes;

// An environment variable set for one scope, then put back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A program folder nobody may write to, not even root: a small tmpfs holding the given
// files, mounted read-only.
class ReadOnlyFolder {
  public:
    ReadOnlyFolder(const std::string& path, const std::vector<std::string>& files) : path_(path) {
        std::filesystem::create_directories(path);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
        for (const std::string& name : files) writeBytes(path + "/" + name, "");
        readOnly_ = mounted_ &&
                    ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool ready() const { return readOnly_; }

  private:
    std::string path_;
    bool mounted_ = false;
    bool readOnly_ = false;
};

struct LocationCase {
    const char* name;
    bool readOnly;                          // the program folder
    std::vector<std::string> programFiles;  // in the program folder
    std::optional<std::string> configHome;  // XDG_CONFIG_HOME, below the test's folder unless
                                            // relative; nullopt: unset
    const char* expectedFolder;             // below the test's folder; "" = the program folder
};

TEST(LocateUserFiles, PortableUnlessTheProgramFolderIsReadOnlyAndUnmarked) {
    const LocationCase cases[] = {
        {"writable program folder", false, {}, "/xdg", ""},
        {"nothing beside the program", true, {}, "/xdg", "/xdg/quivra-downloader"},
        {"unset config home", true, {}, std::nullopt, "/home/.config/quivra-downloader"},
        {"relative config home", true, {}, "relative/xdg", "/home/.config/quivra-downloader"},
        {"config.ini beside the program", true, {"config.ini"}, "/xdg", ""},
        {"portable marker", true, {"portable"}, "/xdg", ""},
    };
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder root;
        const std::string program = root.file("program");
        std::optional<ReadOnlyFolder> readOnly;
        if (c.readOnly) {
            readOnly.emplace(program, c.programFiles);
            ASSERT_TRUE(readOnly->ready()) << "mounting a read-only tmpfs needs root";
        } else {
            std::filesystem::create_directories(program);
        }
        std::optional<std::string> configHome = c.configHome;
        if (configHome && configHome->front() == '/') configHome = root.path() + *configHome;
        ScopedVariable home("HOME", root.file("home"));
        ScopedVariable xdg("XDG_CONFIG_HOME", configHome);

        loadSharedState(program);
        const SharedState& state = sharedState();
        const std::string userFolder = root.path() + c.expectedFolder;
        if (std::string(c.expectedFolder).empty()) {
            EXPECT_EQ(state.dataFolder, program);
            EXPECT_EQ(state.download.get().directory, program + "/download");
            EXPECT_FALSE(std::filesystem::exists(root.file("home")));
            EXPECT_FALSE(std::filesystem::exists(root.file("xdg")));
        } else {
            EXPECT_EQ(state.dataFolder, userFolder);
            EXPECT_EQ(fileMode(userFolder), 0700u);
            EXPECT_EQ(state.download.get().directory, root.file("home/Downloads/Quivra"));
        }
        EXPECT_EQ(state.configPath, state.dataFolder + "/config.ini");
    }
}

}  // namespace
}  // namespace quivra
