#include "download/job/library_nfo.h"

#include <gtest/gtest.h>

namespace quivra {
namespace {

TEST(LibraryNfo, EachKindWithItsFieldsEscaped) {
    LibraryEntry entry{"A <b>&</b> \"title\" 🎵\x01",
                       "第一行\n第二行",
                       "2021-08-27",
                       "歌手",
                       "BV1xx411c7mD",
                       "cover.jpg",
                       3};
    EXPECT_EQ(movieNfo(entry),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<movie>\n"
              "  <title>A &lt;b&gt;&amp;&lt;/b&gt; &quot;title&quot; 🎵</title>\n"
              "  <plot>第一行\n第二行</plot>\n"
              "  <premiered>2021-08-27</premiered>\n  <year>2021</year>\n"
              "  <studio>歌手</studio>\n"
              "  <uniqueid type=\"quivra\" default=\"true\">BV1xx411c7mD</uniqueid>\n"
              "  <thumb>cover.jpg</thumb>\n</movie>\n");
    const std::string episode = episodeNfo(entry);
    EXPECT_NE(episode.find("<episodedetails>\n"), std::string::npos);
    EXPECT_NE(
        episode.find("  <season>1</season>\n  <episode>3</episode>\n  <aired>2021-08-27</aired>\n"),
        std::string::npos);
    // Unknown values are left out rather than written empty.
    const std::string show = tvshowNfo({"季", "", "", "", "ss60001", "", 0});
    EXPECT_EQ(show.find("<plot>"), std::string::npos);
    EXPECT_EQ(show.find("<thumb>"), std::string::npos);
    EXPECT_NE(show.find("<tvshow>\n  <title>季</title>\n"), std::string::npos);
}

}  // namespace
}  // namespace quivra
