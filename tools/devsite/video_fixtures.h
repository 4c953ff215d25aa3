// The videos the local site knows: answers of the video information endpoint, read
// from fixtures/videos/*.json, plus the videos made by code (the 1,000-part one, the
// batch videos and every video a list holds).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace devsite {

using Json = nlohmann::ordered_json;

class VideoFixtures {
  public:
    // Loads every answer file of `folder`; false when one is unreadable or none exist.
    bool load(const std::string& folder);
    // The whole answer, or null. List videos are made on each call: there are 10,000.
    std::shared_ptr<const Json> find(const std::string& bvid) const;
    bool hasPart(const std::string& bvid, const std::string& cid) const;
    // Points every video's `pic` at this site: base + bvid + ".jpg".
    void pointCoversAt(const std::string& base);

    // A new video (newVideo in list_videos.h) published at `published`; its number.
    int addNew(long long published);
    // When each new video was published, in the order they were added.
    std::vector<long long> newVideos() const;

  private:
    void add(Json answer);
    std::map<std::string, std::shared_ptr<Json>> answers_;
    std::string coverBase_ = "http://i0.example.invalid/cover/";
    mutable std::mutex newMutex_;  // new videos come while requests are answered
    std::vector<long long> newPublished_;
};

// The text of a video information answer: its dump with the stand-ins for what JSON
// cannot hold (a byte that is no UTF-8, half a surrogate pair) put back as raw bytes.
std::string videoAnswerBody(const Json& answer);

// What a video made by code is; its stat numbers follow from `views`.
struct MadeVideo {
    std::string bvid;
    long long aid = 0;  // 0: the answer has no aid
    std::string title;
    std::string desc;
    long long pubdate = 0;
    long long ownerMid = 0;
    std::string ownerName;
    long long views = 0;
};

struct MadePart {
    long long cid = 0;
    std::string name;
    int seconds = 0;
};

// The video information answer of a made video; its `pic` is coverBase + bvid + ".jpg".
Json madeVideoAnswer(const MadeVideo& video, const std::vector<MadePart>& parts,
                     const std::string& coverBase);

}  // namespace devsite
