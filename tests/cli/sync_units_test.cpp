// The systemd user units of sync, as the package installs them, pass systemd's own check.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

TEST(SyncUnits, PassSystemdsCheckAndRunSyncHourly) {
    test::TempFolder folder;
    std::string service =
        test::readBytes(QUIVRA_SOURCE_DIR "/resources/quivra-downloader-sync.service.in");
    const std::string placeholder = "@QUIVRA_PROGRAM_PATH@";
    const std::size_t at = service.find(placeholder);
    ASSERT_NE(at, std::string::npos);
    service.replace(at, placeholder.size(), QUIVRA_BINARY_DIR "/program/quivra-downloader");
    EXPECT_NE(service.find("/program/quivra-downloader sync\n"), std::string::npos);
    const std::string timer =
        test::readBytes(QUIVRA_SOURCE_DIR "/resources/quivra-downloader-sync.timer");
    EXPECT_NE(timer.find("\nOnCalendar=hourly\n"), std::string::npos);
    test::writeBytes(folder.file("quivra-downloader-sync.service"), service);
    test::writeBytes(folder.file("quivra-downloader-sync.timer"), timer);

    // A user manager of its own, which needs a runtime folder.
    const std::string runtime = folder.file("run");
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const test::ProgramRun verify = test::runProgram(
        "/usr/bin/systemd-analyze",
        {"verify", "--man=no", "--user", folder.file("quivra-downloader-sync.timer"),
         folder.file("quivra-downloader-sync.service")});
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.err, "");
}

}  // namespace
}  // namespace quivra
