// A season through the local site: its episodes' streams by ep number (members-only ones
// only for a member) and the season as one parse.
#include "video/listing/season_parse.h"

#include <gtest/gtest.h>

#include <string>

#include "net/text_encoding.h"
#include "support/local_site.h"
#include "video/stream_formats.h"

namespace quivra {
namespace {

class SeasonTest : public test::LocalSiteTest {
  protected:
    ListingResult season() const {
        ListingRequest request;
        request.address =
            *recognizeListAddress("ss" + std::string(devsite::kSeasonId), sharedState().site);
        request.site = sharedState().site;
        return listVideos(request, nullptr);
    }
};

TEST_F(SeasonTest, AnEpisodesStreamsComeFromItsOwnListAndMembersOnlyOnesAreSaidSo) {
    const ListingResult listing = season();
    ASSERT_EQ(listing.entries.size(), size_t{devsite::kSeasonEpisodeCount});
    struct Case {
        const char* cookie;
        int episode;
        bool streams;
        bool membersOnly;
    };
    const Case cases[] = {
        {devsite::kPlainCookie, 1, true, false},
        {devsite::kPlainCookie, devsite::kFirstMembersEpisode, false, true},
        {devsite::kMemberCookie, devsite::kFirstMembersEpisode, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cookie) + " " + std::to_string(c.episode));
        setUserCookie(c.cookie);
        const ListEntry& entry = listing.entries.at(static_cast<size_t>(c.episode - 1));
        const StreamAddresses addresses =
            resolvePartStreams(entry.bvid, entry.episodeId, entry.cid, {"80", "30280"});
        EXPECT_EQ(!addresses.video.empty() && !addresses.audio.empty(), c.streams);
        EXPECT_EQ(addresses.membersOnly, c.membersOnly);
        EXPECT_FALSE(addresses.unanswered);
        EXPECT_EQ(fetchEpisodeQualityList(entry.episodeId, entry.cid).count > 0, c.streams);
    }
    // A cid that is not the episode's is no member question.
    const StreamAddresses wrong = resolvePartStreams(
        listing.entries[0].bvid, listing.entries[0].episodeId, listing.entries[1].cid, {});
    EXPECT_FALSE(wrong.membersOnly);
    EXPECT_EQ(wrong.video, "");
}

TEST_F(SeasonTest, TheSeasonIsOneVideoWhoseRowsAreItsEpisodes) {
    ListingResult listing = season();
    ASSERT_EQ(listing.entries.size(), size_t{devsite::kSeasonEpisodeCount});
    // The first two cannot be downloaded: the qualities are the third's.
    listing.entries[0].unavailable = listing.entries[1].unavailable = "x";
    site().clearRequests();
    const ParseResult parsed = parseSeason(listing, {});
    EXPECT_EQ(parsed.failure, ParseFailure::None);
    EXPECT_EQ(localToUtf8(parsed.video.siteTitle), "山海之间 第一季");
    EXPECT_EQ(localToUtf8(parsed.video.title), "山海之间_第一季");
    EXPECT_EQ(parsed.video.bvid, listing.entries[0].bvid);
    EXPECT_EQ(parsed.video.videos, devsite::kSeasonEpisodeCount);
    ASSERT_EQ(parsed.rows.size(), size_t{devsite::kSeasonEpisodeCount});
    for (size_t i = 0; i < parsed.rows.size(); ++i) {
        EXPECT_EQ(parsed.rows[i].page, std::to_string(i + 1));
        EXPECT_EQ(parsed.rows[i].part, listing.entries[i].title);
        EXPECT_EQ(parsed.rows[i].cid, listing.entries[i].cid);
        EXPECT_EQ(parsed.rows[i].episodeId, devsite::seasonEpisodeId(static_cast<int>(i) + 1));
    }
    EXPECT_GT(parsed.qualities.count, 0);
    const auto asked = site().requestsTo("/pgc/player/web/playurl");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].query.rfind("ep_id=" + devsite::seasonEpisodeId(3) + "&", 0), 0u);

    EXPECT_EQ(parseSeason(ListingResult{}, {}).failure, ParseFailure::NoParts);
}

}  // namespace
}  // namespace quivra
