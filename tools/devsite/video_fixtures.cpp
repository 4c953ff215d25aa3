#include "devsite/video_fixtures.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "devsite/dev_site.h"
#include "devsite/list_videos.h"

namespace devsite {

namespace fs = std::filesystem;

namespace {

Json thousandPartAnswer() {
    constexpr long long kFirstCid = 7000001;
    std::vector<MadePart> parts;
    for (int i = 0; i < 1000; ++i)
        parts.push_back(
            {kFirstCid + i, "第" + std::to_string(i + 1) + "课 练习", 30 + (i * 37) % 900});
    return madeVideoAnswer(
        {kThousandPartBvid, 0, "一千节练习课", "A long series of short exercises.", 1650000000,
         10003, "练习室", 1000000},
        parts, "http://i0.example.invalid/cover/");
}

Json batchVideoAnswer(int index) {
    const long long firstCid = 8000001 + 10LL * index;
    std::vector<MadePart> parts;
    for (int page = 1; page <= 2; ++page)
        parts.push_back({firstCid + page - 1, "第" + std::to_string(page) + "部分", 40 + page});
    const std::string number = std::to_string(index + 1);
    return madeVideoAnswer(
        {batchBvid(index), 0, "批量 视频 No." + number + " (第" + number + "集)",
         "One of the videos for many addresses at once.", 1660000000 + index, 10004, "批量", 100},
        parts, "http://i0.example.invalid/cover/");
}

// Stand-ins in the answer for what videoAnswerBody sends as raw bytes.
constexpr std::string_view kNoUtf8Byte = "{no-utf8-byte}";
constexpr std::string_view kLoneSurrogate = "{lone-surrogate}";

Json worldTextAnswer() {
    return madeVideoAnswer(
        {kWorldTextBvid, 0, "🎵 노래 测试 ♫",
         "旗 🇰🇷 一家 👨‍👩‍👧 カタカナ ひらがな 𠀋 שלום",
         1670000000, 10005, "가수 歌手", 500},
        {{5901, "🎤 가사 第一段", 41},
         {5902,
          "残缺" + std::string(kNoUtf8Byte) + " 与 " + std::string(kLoneSurrogate) + " 第二段",
          42}},
        "http://i0.example.invalid/cover/");
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::string videoAnswerBody(const Json& answer) {
    std::string body = answer.dump();
    replaceAll(body, kNoUtf8Byte, "\xFF");
    replaceAll(body, kLoneSurrogate, "\\ud83c");
    return body;
}

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
    add(worldTextAnswer());
    for (int index = 0; index < kBatchVideoCount; ++index) add(batchVideoAnswer(index));
    return true;
}

void VideoFixtures::add(Json answer) {
    const std::string bvid = answer["data"].value("bvid", "");
    answers_[bvid] = std::make_shared<Json>(std::move(answer));
}

std::shared_ptr<const Json> VideoFixtures::find(const std::string& bvid) const {
    const auto it = answers_.find(bvid);
    if (it != answers_.end()) return it->second;
    std::optional<MadeVideoOfList> made = listVideo(bvid);
    if (const int number = newVideoNumber(bvid); number > 0) {
        std::lock_guard lock(newMutex_);
        if (static_cast<size_t>(number) <= newPublished_.size())
            made = newVideo(number, newPublished_[static_cast<size_t>(number - 1)]);
    }
    if (!made) return nullptr;
    return std::make_shared<const Json>(madeVideoAnswer(made->video, {made->part}, coverBase_));
}

bool VideoFixtures::hasPart(const std::string& bvid, const std::string& cid) const {
    const auto answer = find(bvid);
    if (!answer) return false;
    for (const auto& page : (*answer)["data"]["pages"]) {
        if (page["cid"].dump() == cid) return true;
    }
    return false;
}

void VideoFixtures::pointCoversAt(const std::string& base) {
    coverBase_ = base;
    for (auto& [bvid, answer] : answers_) (*answer)["data"]["pic"] = base + bvid + ".jpg";
}

int VideoFixtures::addNew(long long published) {
    std::lock_guard lock(newMutex_);
    newPublished_.push_back(published);
    return static_cast<int>(newPublished_.size());
}

std::vector<long long> VideoFixtures::newVideos() const {
    std::lock_guard lock(newMutex_);
    return newPublished_;
}

Json madeVideoAnswer(const MadeVideo& video, const std::vector<MadePart>& parts,
                     const std::string& coverBase) {
    Json pages = Json::array();
    long long total = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        total += parts[i].seconds;
        pages.push_back({{"cid", parts[i].cid},
                         {"page", i + 1},
                         {"part", parts[i].name},
                         {"duration", parts[i].seconds}});
    }
    Json data = Json::object();
    data["bvid"] = video.bvid;
    if (video.aid > 0) data["aid"] = video.aid;
    const long long views = video.views;
    data.update(Json{
        {"videos", parts.size()},
        {"pic", coverBase + video.bvid + ".jpg"},
        {"title", video.title},
        {"pubdate", video.pubdate},
        {"desc", video.desc},
        {"duration", total},
        {"owner",
         {{"mid", video.ownerMid},
          {"name", video.ownerName},
          {"face", "http://i0.example.invalid/face/" + std::to_string(video.ownerMid) + ".jpg"}}},
        {"stat",
         {{"view", views},
          {"danmaku", views / 50},
          {"reply", views / 100},
          {"favorite", views / 20},
          {"coin", views / 30},
          {"share", views / 200},
          {"like", views / 10}}},
        {"cid", parts.empty() ? 0 : parts[0].cid},
        {"pages", std::move(pages)}});
    return {{"code", 0}, {"message", "0"}, {"data", std::move(data)}};
}

}  // namespace devsite
