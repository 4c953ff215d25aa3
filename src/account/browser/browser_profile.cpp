#include "account/browser/browser_profile.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace quivra {

namespace {

namespace fs = std::filesystem;

using IniSection = std::map<std::string, std::string>;

// profiles.ini's sections in their order, each with its keys.
std::vector<std::pair<std::string, IniSection>> readIni(const fs::path& file) {
    std::vector<std::pair<std::string, IniSection>> sections;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with('[') && line.ends_with(']')) {
            sections.emplace_back(line.substr(1, line.size() - 2), IniSection{});
        } else if (const size_t equals = line.find('=');
                   equals != std::string::npos && !sections.empty()) {
            sections.back().second[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return sections;
}

// The install's default profile first, then the one marked Default=1, then the first.
std::string firefoxStore(const fs::path& root) {
    const auto sections = readIni(root / "profiles.ini");
    std::vector<fs::path> candidates;
    for (const auto& [name, keys] : sections) {
        if (name.starts_with("Install") && keys.contains("Default")) {
            candidates.push_back(root / keys.at("Default"));
        }
    }
    for (const bool wantDefault : {true, false}) {
        for (const auto& [name, keys] : sections) {
            if (!name.starts_with("Profile") || !keys.contains("Path")) continue;
            if (wantDefault && (!keys.contains("Default") || keys.at("Default") != "1")) continue;
            const bool relative = !keys.contains("IsRelative") || keys.at("IsRelative") == "1";
            candidates.push_back(relative ? root / keys.at("Path") : fs::path(keys.at("Path")));
        }
    }
    for (const fs::path& profile : candidates) {
        std::error_code error;
        if (fs::exists(profile / "cookies.sqlite", error))
            return (profile / "cookies.sqlite").string();
    }
    return {};
}

std::string chromiumStore(const fs::path& config) {
    for (const char* browser : {"chromium", "google-chrome"}) {
        for (const char* store : {"Default/Network/Cookies", "Default/Cookies"}) {
            std::error_code error;
            if (fs::exists(config / browser / store, error))
                return (config / browser / store).string();
        }
    }
    return {};
}

}  // namespace

std::string cookieStorePath(Browser browser, const std::string& home) {
    const fs::path folder(home);
    return browser == Browser::Firefox ? firefoxStore(folder / ".mozilla" / "firefox")
                                       : chromiumStore(folder / ".config");
}

}  // namespace quivra
