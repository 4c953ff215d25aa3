// The videos the local site knows: answers of the video information endpoint, read
// from fixtures/videos/*.json, plus the 1,000-part video made by code.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace devsite {

using Json = nlohmann::ordered_json;

class VideoFixtures {
  public:
    // Loads every answer file of `folder`; false when one is unreadable or none exist.
    bool load(const std::string& folder);
    const Json* find(const std::string& bvid) const;  // the whole answer, or null
    bool hasPart(const std::string& bvid, const std::string& cid) const;
    // Points every video's `pic` at this site: base + bvid + ".jpg".
    void pointCoversAt(const std::string& base);
    std::map<std::string, Json>::const_iterator begin() const { return answers_.begin(); }
    std::map<std::string, Json>::const_iterator end() const { return answers_.end(); }

  private:
    void add(Json answer);
    std::map<std::string, Json> answers_;
};

// The answer for a video of `parts` parts, as the site gives it.
Json thousandPartAnswer(int parts = 1000);
// The answer for batch video `index` (batchBvid).
Json batchVideoAnswer(int index);

}  // namespace devsite
