// downloads.db: what is written comes back, progress is written sparingly, a full disk
// delays writes without losing them, and a store that cannot be read is moved aside while
// one in use by another process is left alone.
#include "download/list/download_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

#include "download/list/sqlite_database.h"
#include "download/list/store_rows.h"
#include "download/list/store_watch.h"
#include "net/text_encoding.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

namespace fs = std::filesystem;

DownloadItem sampleItem(std::int64_t id, ItemState state) {
    DownloadItem item;
    item.id = id;
    item.request = {"BV1xx411c7mD",
                    localText("视频 标题"),
                    "3001",
                    localText("第1集：开始"),
                    static_cast<int>(id),
                    64,
                    30280,
                    localText("720P 高清"),
                    "/d",
                    "/d/t/0" + std::to_string(id) + ".mp4",
                    std::nullopt,
                    "",
                    localText("视频 标题：第一季"),
                    ""};
    if (id % 2 == 1) {
        item.request.tags = VideoTags{localText("视频 标题?"),
                                      localText("作者"),
                                      "2021-08-27",
                                      "http://127.0.0.1:1/video/BV1xx411c7mD",
                                      localText("简介\n第二行"),
                                      3};
        item.request.coverAddress = "http://127.0.0.1:1/cover/BV1xx411c7mD.jpg";
        item.request.codecs = {VideoCodec::Hevc, VideoCodec::Av1, VideoCodec::Avc};
        item.videoCodec = VideoCodec::Hevc;
        item.request.content =
            id % 4 == 1 ? DownloadContent::AudioOnly : DownloadContent::VideoOnly;
        item.request.subtitles = {"zh-CN,en-US", true, id % 4 == 1};
        item.request.fileTags = id % 4 == 3;  // the texts bound for the .nfo files alone
        item.request.libraryInfo = true;
        item.request.danmaku = {true, id % 4 == 3, id % 4 == 1};
    } else {
        item.request.episodeId = "61002";
        item.request.seasonId = "60001";
    }
    item.state = state;
    item.stageText = localText("正在解析");
    item.errorText = localText("任务超时");
    item.bytesDone = 1234567;
    item.bytesTotal = 7654321;
    item.createdAt = 1700000000 + id;
    item.finishedAt = state == ItemState::Done ? 1700000100 : 0;
    return item;
}

void expectSameItem(const DownloadItem& a, const DownloadItem& b) {
    const auto fields = [](const DownloadItem& i) {
        const DownloadRequest& r = i.request;
        return std::tuple(i.id, r.bvid, r.videoTitle, r.cid, r.pageTitle, r.pageNumber,
                          r.videoQuality, r.audioQuality, r.qualityName, r.directory, r.outputPath,
                          i.state, i.stageText, i.errorText, i.bytesDone, i.bytesTotal, i.createdAt,
                          i.finishedAt, r.tags, r.coverAddress, r.siteTitle, r.episodeId, r.codecs,
                          i.videoCodec, r.content, r.subtitles, r.fileTags, r.libraryInfo,
                          r.seasonId, r.danmaku);
    };
    EXPECT_EQ(fields(a), fields(b));
}

// The item as a store of schema 9 keeps it: no bullet comments.
constexpr const char* kDropDanmaku =
    "ALTER TABLE items DROP COLUMN danmaku_only; ALTER TABLE items DROP COLUMN danmaku_track;"
    " ALTER TABLE items DROP COLUMN danmaku;";
DownloadItem beforeDanmaku(DownloadItem item) {
    item.request.danmaku = {};
    return item;
}

// The item as a store from before codecs keeps it: the default order, no codec taken,
// video and audio, the subtitles' default, the tags in the file and no .nfo files.
constexpr const char* kDropCodecs =
    "ALTER TABLE items DROP COLUMN danmaku_only; ALTER TABLE items DROP COLUMN danmaku_track;"
    " ALTER TABLE items DROP COLUMN danmaku; ALTER TABLE items DROP COLUMN season_id; ALTER TABLE "
    "items DROP COLUMN library_info;"
    " ALTER TABLE items DROP COLUMN file_tags;"
    "ALTER TABLE items DROP COLUMN subtitles_only; ALTER TABLE items DROP COLUMN ai_subtitles;"
    " ALTER TABLE items DROP COLUMN subtitles; ALTER TABLE items DROP COLUMN content; ALTER TABLE "
    "items DROP COLUMN video_codec;"
    " ALTER TABLE items DROP COLUMN video_codecs;";
DownloadItem beforeCodecs(DownloadItem item) {
    item.request.codecs = defaultCodecOrder();
    item.videoCodec.reset();
    item.request.content = DownloadContent::AudioVideo;
    item.request.subtitles = {"all", false, false};
    item.request.fileTags = true;
    item.request.libraryInfo = false;
    item.request.seasonId.clear();
    return beforeDanmaku(std::move(item));
}

std::string queryText(const std::string& path, const std::string& sql) {
    SqliteDatabase database;
    if (!database.open(path)) return {};
    SqliteStatement statement(database, sql);
    return statement.step() == SqliteStatement::Step::Row ? statement.textColumn(0) : "";
}

TEST(DownloadStore, WrittenItemsComeBackFromAPrivateWalStore) {
    test::TempFolder folder;
    const std::string path = downloadStorePath(folder.file("config.ini"));
    EXPECT_EQ(path, folder.file("downloads.db"));
    {
        StoreOpening opening = DownloadStore::open(path);
        ASSERT_TRUE(opening.store);
        EXPECT_TRUE(opening.items.empty());
        EXPECT_TRUE(opening.movedAsideTo.empty());
        for (std::int64_t id = 1; id <= 3; ++id) {
            opening.store->save(sampleItem(id, ItemState::Running), true);
        }
        opening.store->save(sampleItem(2, ItemState::Done), true);
        opening.store->forget(3);
        opening.store->flush();
        EXPECT_EQ(test::fileMode(path), 0600u);
        EXPECT_EQ(test::fileMode(path + "-wal"), 0600u);
        EXPECT_EQ(queryText(path, "PRAGMA journal_mode"), "wal");
        EXPECT_EQ(queryText(path, "PRAGMA user_version"),
                  std::to_string(DownloadStore::kSchemaVersion));
    }
    StoreOpening again = DownloadStore::open(path);
    ASSERT_EQ(again.items.size(), 2u);
    expectSameItem(again.items[0], sampleItem(1, ItemState::Running));
    expectSameItem(again.items[1], sampleItem(2, ItemState::Done));
}

// Progress handed over many times a second costs at most one transaction a second per
// item, and the last figures are the ones kept; a state change is written at once.
TEST(DownloadStore, ProgressIsWrittenAtMostOnceASecondPerItem) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    StoreOpening opening = DownloadStore::open(path);
    ASSERT_TRUE(opening.store);
    DownloadStore& store = *opening.store;
    const auto began = std::chrono::steady_clock::now();
    DownloadItem item = sampleItem(1, ItemState::Running);
    for (int i = 1; i <= 300; ++i) {
        item.bytesDone = i;
        store.save(item, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began)
            .count();
    EXPECT_LE(store.transactionCount(), seconds + 1);
    item.state = ItemState::Paused;
    store.save(item, true);
    opening.store.reset();
    const StoreOpening again = DownloadStore::open(path);
    ASSERT_EQ(again.items.size(), 1u);
    EXPECT_EQ(again.items[0].bytesDone, 300);
    EXPECT_EQ(again.items[0].state, ItemState::Paused);
}

// A store of the version before is upgraded with its items; what another program asks of
// an item survives the writes of the program that runs it.
TEST(DownloadStore, AnOlderStoreKeepsItsItemsAndWritesKeepWhatOthersAsked) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    DownloadStore::open(path).store->save(sampleItem(1, ItemState::Running), true);
    {
        SqliteDatabase database;
        ASSERT_TRUE(database.open(path));
        ASSERT_TRUE(database.execute(std::string(kDropCodecs) +
                                     "ALTER TABLE items DROP COLUMN episode_id;"
                                     " ALTER TABLE items DROP COLUMN site_title;"
                                     " ALTER TABLE items DROP COLUMN command;"
                                     " PRAGMA user_version = 2"));
    }
    StoreOpening opening = DownloadStore::open(path);
    ASSERT_EQ(opening.items.size(), 1u);
    DownloadItem stored = beforeCodecs(sampleItem(1, ItemState::Running));
    stored.request.siteTitle.clear();  // a row of before has none
    expectSameItem(opening.items[0], stored);

    StoreWatch other(path);
    ASSERT_TRUE(other.ask(1, ListCommand::Pause));
    DownloadItem item = sampleItem(1, ItemState::Running);
    item.bytesDone += 1;
    opening.store->save(item, true);
    opening.store->flush();
    const std::optional<StoreLook> look = other.look();
    ASSERT_TRUE(look);
    ASSERT_EQ(look->items.size(), 1u);
    EXPECT_EQ(look->items[0].bytesDone, item.bytesDone);
    EXPECT_EQ(look->commands, (std::map<std::int64_t, ListCommand>{{1, ListCommand::Pause}}));
    {
        // The text older programs read.
        SqliteDatabase database;
        ASSERT_TRUE(database.open(path));
        SqliteStatement row(database, "SELECT command FROM items WHERE id = 1");
        ASSERT_EQ(row.step(), SqliteStatement::Step::Row);
        EXPECT_EQ(row.textColumn(0), "pause");
    }
    ASSERT_TRUE(other.done(1, ListCommand::Pause));
    EXPECT_TRUE(other.look()->commands.empty());
}

// A look at a long list converts only what another connection changed: an item known as
// stored, or seen at the last look, comes again only once its state, texts or bytes change.
TEST(DownloadStore, ALookHandsOverOnlyNewAndChangedItems) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    StoreOpening opening = DownloadStore::open(path);
    const DownloadItem known = sampleItem(1, ItemState::Done);
    DownloadItem changing = sampleItem(2, ItemState::Running);
    opening.store->save(known, true);
    opening.store->save(changing, true);
    opening.store->flush();
    const auto ids = [](const std::optional<StoreLook>& look) {
        std::vector<std::int64_t> found;
        for (const DownloadItem& item : look.value().items) found.push_back(item.id);
        return found;
    };
    StoreWatch watch(path);
    watch.know(known.id, itemFingerprint(known));
    EXPECT_EQ(ids(watch.look()), std::vector<std::int64_t>{2});
    EXPECT_TRUE(ids(watch.look()).empty());
    opening.store->save(known, true);  // written again as it was
    changing.stageText = localText("下载中");
    opening.store->save(changing, true);
    opening.store->flush();
    EXPECT_EQ(ids(watch.look()), std::vector<std::int64_t>{2});
    changing.bytesDone += 1;
    opening.store->save(changing, true);
    opening.store->flush();
    EXPECT_EQ(ids(watch.look()), std::vector<std::int64_t>{2});
}

TEST(DownloadStore, UnreadableStoreIsMovedAsideAndAFreshOneTakesItsPlace) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
    };
    const auto sql = [](const std::string& statements) {
        return [statements](const std::string& path) {
            SqliteDatabase database;
            ASSERT_TRUE(database.open(path));
            ASSERT_TRUE(database.execute(statements));
        };
    };
    const Case cases[] = {
        {"garbage",
         [](const std::string& path) { test::writeBytes(path, std::string(5000, 'x')); }},
        {"another schema", sql("CREATE TABLE other (x); PRAGMA user_version = 1")},
        {"a later version",
         sql("PRAGMA user_version = " + std::to_string(DownloadStore::kSchemaVersion + 1))},
        {"an unknown state",
         [](const std::string& path) {
             DownloadStore::open(path).store->save(sampleItem(1, ItemState::Done), true);
             SqliteDatabase database;
             ASSERT_TRUE(database.open(path));
             ASSERT_TRUE(database.execute("UPDATE items SET state = 'lost'"));
         }},
    };
    for (const Case& c : cases) {
        test::TempFolder folder;
        const std::string path = folder.file("downloads.db");
        ASSERT_NO_FATAL_FAILURE(c.make(path));
        const std::string bytes = test::readBytes(path);

        StoreOpening opening = DownloadStore::open(path);
        ASSERT_FALSE(opening.movedAsideTo.empty()) << c.what;
        EXPECT_TRUE(
            fs::path(opening.movedAsideTo).filename().string().starts_with("downloads.db.broken-"))
            << opening.movedAsideTo;
        EXPECT_TRUE(test::readBytes(opening.movedAsideTo) == bytes) << c.what;
        EXPECT_NE(localToUtf8(brokenStoreMessage(opening.movedAsideTo))
                      .find(fs::path(opening.movedAsideTo).filename().string()),
                  std::string::npos);
        ASSERT_TRUE(opening.store) << c.what;
        EXPECT_TRUE(opening.items.empty());
        opening.store->save(sampleItem(1, ItemState::Queued), true);
        opening.store.reset();
        EXPECT_EQ(DownloadStore::open(path).items.size(), 1u) << c.what;
    }
}

// A store of the program before seasons, and one of the program before bullet comments,
// keep every row, each as its program wrote it; an episode and a part with comments
// written after the upgrade come back as they were.
TEST(DownloadStore, OlderStoresKeepEveryRow) {
    struct Case {
        const char* what;
        std::string drop;
        DownloadItem (*asKept)(DownloadItem);
    };
    const Case cases[] = {
        {"schema 4",
         std::string(kDropCodecs) +
             "ALTER TABLE items DROP COLUMN episode_id; PRAGMA user_version = 4",
         beforeCodecs},
        {"schema 9", std::string(kDropDanmaku) + "PRAGMA user_version = 9", beforeDanmaku},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        const std::string path = folder.file("downloads.db");
        {
            StoreOpening opening = DownloadStore::open(path);
            for (std::int64_t id = 1; id <= 3; id += 2) {
                opening.store->save(sampleItem(id, ItemState::Done), true);
            }
            opening.store->save(sampleItem(5, ItemState::Paused), true);
        }
        {
            SqliteDatabase database;
            ASSERT_TRUE(database.open(path));
            ASSERT_TRUE(database.execute(c.drop));
        }
        {
            StoreOpening opening = DownloadStore::open(path);
            ASSERT_TRUE(opening.movedAsideTo.empty());
            ASSERT_EQ(opening.items.size(), 3u);
            for (const DownloadItem& item : opening.items) {
                expectSameItem(item, c.asKept(sampleItem(item.id, item.state)));
            }
            EXPECT_EQ(queryText(path, "PRAGMA user_version"),
                      std::to_string(DownloadStore::kSchemaVersion));
            opening.store->save(sampleItem(6, ItemState::Queued), true);
            opening.store->save(sampleItem(7, ItemState::Queued), true);
        }
        const StoreOpening again = DownloadStore::open(path);
        ASSERT_EQ(again.items.size(), 5u);
        EXPECT_EQ(again.items[3].request.episodeId, "61002");
        expectSameItem(again.items[4], sampleItem(7, ItemState::Queued));
    }
}

// A store of the program before tags keeps its items, which carry no tags and no cover.
TEST(DownloadStore, StoreOfTheFirstVersionIsUpgradedWithItsItems) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    {
        SqliteDatabase database;
        ASSERT_TRUE(database.open(path));
        ASSERT_TRUE(database.execute(
            "CREATE TABLE items (id INTEGER PRIMARY KEY, bvid TEXT NOT NULL,"
            " video_title TEXT NOT NULL, cid TEXT NOT NULL, page_title TEXT NOT NULL,"
            " page_number INTEGER NOT NULL, video_quality INTEGER NOT NULL,"
            " audio_quality INTEGER NOT NULL, quality_name TEXT NOT NULL,"
            " directory TEXT NOT NULL, output_path TEXT NOT NULL, state TEXT NOT NULL,"
            " stage_text TEXT NOT NULL, error_text TEXT NOT NULL, bytes_done INTEGER NOT NULL,"
            " bytes_total INTEGER NOT NULL, created_at INTEGER NOT NULL,"
            " finished_at INTEGER NOT NULL);"
            "INSERT INTO items VALUES (7, 'BV1xx411c7mD', 't', '3001', 'p', 1, 64, 30280, 'q',"
            " '/d', '/d/t/01_p.mp4', 'paused', '', '', 5, 10, 1700000000, 0);"
            "PRAGMA user_version = 1"));
    }
    const StoreOpening opening = DownloadStore::open(path);
    ASSERT_TRUE(opening.movedAsideTo.empty());
    ASSERT_EQ(opening.items.size(), 1u);
    EXPECT_EQ(opening.items[0].request.outputPath, "/d/t/01_p.mp4");
    EXPECT_FALSE(opening.items[0].request.tags.has_value());
    EXPECT_EQ(opening.items[0].request.coverAddress, "");
    EXPECT_EQ(opening.items[0].request.siteTitle, "");  // the list shows its folder name
    EXPECT_EQ(queryText(path, "PRAGMA user_version"),
              std::to_string(DownloadStore::kSchemaVersion));
}

// Another process holding the store (a second program) is no reason to move it aside.
TEST(DownloadStore, StoreLockedByAnotherConnectionIsLeftAlone) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    DownloadStore::open(path).store->save(sampleItem(1, ItemState::Done), true);
    SqliteDatabase holder;
    ASSERT_TRUE(holder.open(path));
    ASSERT_TRUE(holder.execute("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE"));
    const StoreOpening opening = DownloadStore::open(path);
    EXPECT_FALSE(opening.store);
    EXPECT_TRUE(opening.movedAsideTo.empty());
    holder.execute("COMMIT");
    holder.close();
    EXPECT_EQ(DownloadStore::open(path).items.size(), 1u);
}

// Changes made while the disk is full are not lost: once there is room they are written.
TEST(DownloadStore, ChangesMadeOnAFullDiskAreWrittenOnceThereIsRoom) {
    test::TempFolder folder;
    test::SmallDisk disk(fs::path(folder.path()) / "disk", 4 << 20);
    ASSERT_TRUE(disk.mounted());
    const std::string path = (disk.path() / "downloads.db").string();
    StoreOpening opening = DownloadStore::open(path);
    ASSERT_TRUE(opening.store);
    DownloadStore& store = *opening.store;
    store.save(sampleItem(1, ItemState::Running), true);
    store.save(sampleItem(2, ItemState::Running), true);
    store.flush();

    disk.fillLeaving(0);
    store.save(sampleItem(1, ItemState::Done), true);
    store.forget(2);
    for (std::int64_t id = 3; id <= 40; ++id) store.save(sampleItem(id, ItemState::Queued), true);
    store.flush();  // fails: nothing could be written

    fs::remove(disk.path() / "filler");
    store.flush();
    opening.store.reset();
    const StoreOpening again = DownloadStore::open(path);
    ASSERT_EQ(again.items.size(), 39u);
    expectSameItem(again.items[0], sampleItem(1, ItemState::Done));
    expectSameItem(again.items[1], sampleItem(3, ItemState::Queued));
}

}  // namespace
}  // namespace quivra
