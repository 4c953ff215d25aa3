// The real programs on the command line, in a portable program folder of their own whose
// config.ini points at the local site.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/config_file.h"
#include "support/local_site.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace quivra::test {

class ProgramFolderSuite : public LocalSiteSuite {
  protected:
    static void SetUpTestSuite() {
        startSite(processFolder("quivra-cli-test"));
        // A copy of the programs in that folder, which is writable: portable use.
        for (const char* name :
             {"quivra-downloader", "quivra-downloader-downloads", "quivra-downloader-window"}) {
            const std::filesystem::path built =
                std::filesystem::path(QUIVRA_BINARY_DIR "/program") / name;
            std::error_code error;
            std::filesystem::create_hard_link(built, folder() / name, error);
            if (error) {
                std::filesystem::copy_file(built, folder() / name,
                                           std::filesystem::copy_options::overwrite_existing);
            }
        }
    }
    static void TearDownTestSuite() { stopSite(); }

    void SetUp() override {
        const std::string base = site().baseUrl();
        writeBytes(configPath(), "[site]\napi=" + base + "\nlogin=" + base + "\nmain=" + base +
                                     "\nspace=" + base + "\n");
        site().clearOverrides();
        site().clearRequests();
    }

    static std::string program() { return (folder() / "quivra-downloader").string(); }
    static ProgramRun run(const std::vector<std::string>& args, const std::string& input = "") {
        return runProgram(program(), args, input);
    }
    static std::string stored(const char* key) { return readConfigItem(configPath(), "user", key); }
};

// The lines of a text, without the line breaks.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace quivra::test
