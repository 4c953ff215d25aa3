#include "devsite/video_fixtures.h"

#include <filesystem>
#include <fstream>

#include "devsite/dev_site.h"

namespace devsite {

namespace fs = std::filesystem;

bool VideoFixtures::load(const std::string& folder) {
    answers_.clear();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != ".json") continue;
        std::ifstream in(it->path());
        Json answer = Json::parse(in, nullptr, false);
        if (answer.is_discarded() || !answer.contains("data")) return false;
        add(std::move(answer));
    }
    if (error || answers_.empty()) return false;
    add(thousandPartAnswer());
    for (int index = 0; index < kBatchVideoCount; ++index) add(batchVideoAnswer(index));
    return true;
}

void VideoFixtures::add(Json answer) {
    const std::string bvid = answer["data"].value("bvid", "");
    answers_[bvid] = std::move(answer);
}

const Json* VideoFixtures::find(const std::string& bvid) const {
    const auto it = answers_.find(bvid);
    return it == answers_.end() ? nullptr : &it->second;
}

bool VideoFixtures::hasPart(const std::string& bvid, const std::string& cid) const {
    const Json* answer = find(bvid);
    if (!answer) return false;
    for (const auto& page : (*answer)["data"]["pages"]) {
        if (page["cid"].dump() == cid) return true;
    }
    return false;
}

void VideoFixtures::pointCoversAt(const std::string& base) {
    for (auto& [bvid, answer] : answers_) answer["data"]["pic"] = base + bvid + ".jpg";
}

Json thousandPartAnswer(int parts) {
    constexpr long long kFirstCid = 7000001;
    Json pages = Json::array();
    long long total = 0;
    for (int i = 0; i < parts; ++i) {
        const int seconds = 30 + (i * 37) % 900;
        total += seconds;
        pages.push_back({{"cid", kFirstCid + i},
                         {"page", i + 1},
                         {"part", "第" + std::to_string(i + 1) + "课 练习"},
                         {"duration", seconds}});
    }
    Json data = {{"bvid", kThousandPartBvid},
                 {"videos", parts},
                 {"pic", "http://i0.example.invalid/cover/thousand.jpg"},
                 {"title", "一千节练习课"},
                 {"pubdate", 1650000000},
                 {"desc", "A long series of short exercises."},
                 {"duration", total},
                 {"owner",
                  {{"mid", 10003},
                   {"name", "练习室"},
                   {"face", "http://i0.example.invalid/face/10003.jpg"}}},
                 {"stat",
                  {{"view", 1000000},
                   {"danmaku", 20000},
                   {"reply", 10000},
                   {"favorite", 50000},
                   {"coin", 33333},
                   {"share", 5000},
                   {"like", 100000}}},
                 {"cid", kFirstCid},
                 {"pages", std::move(pages)}};
    return {{"code", 0}, {"message", "0"}, {"data", std::move(data)}};
}

Json batchVideoAnswer(int index) {
    const long long firstCid = 8000001 + 10LL * index;
    Json pages = Json::array();
    for (int page = 1; page <= 2; ++page) {
        pages.push_back({{"cid", firstCid + page - 1},
                         {"page", page},
                         {"part", "第" + std::to_string(page) + "部分"},
                         {"duration", 40 + page}});
    }
    Json data = {
        {"bvid", batchBvid(index)},
        {"videos", 2},
        {"pic", "http://i0.example.invalid/cover/batch.jpg"},
        {"title",
         "批量 视频 No." + std::to_string(index + 1) + " (第" + std::to_string(index + 1) + "集)"},
        {"pubdate", 1660000000 + index},
        {"desc", "One of the videos for many addresses at once."},
        {"duration", 83},
        {"owner",
         {{"mid", 10004}, {"name", "批量"}, {"face", "http://i0.example.invalid/face/10004.jpg"}}},
        {"stat",
         {{"view", 100},
          {"danmaku", 1},
          {"reply", 2},
          {"favorite", 3},
          {"coin", 4},
          {"share", 5},
          {"like", 6}}},
        {"cid", firstCid},
        {"pages", std::move(pages)}};
    return {{"code", 0}, {"message", "0"}, {"data", std::move(data)}};
}

}  // namespace devsite
