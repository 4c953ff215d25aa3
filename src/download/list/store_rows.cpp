#include "download/list/store_rows.h"

#include <sqlite3.h>

#include <map>
#include <string>

#include "download/plan/output_format.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// Upgrade steps: kUpgrades[v] takes a store from version v to v + 1.
const char* const kUpgrades[] = {
    "CREATE TABLE items ("
    " id INTEGER PRIMARY KEY,"
    " bvid TEXT NOT NULL, video_title TEXT NOT NULL, cid TEXT NOT NULL,"
    " page_title TEXT NOT NULL, page_number INTEGER NOT NULL,"
    " video_quality INTEGER NOT NULL, audio_quality INTEGER NOT NULL,"
    " quality_name TEXT NOT NULL, directory TEXT NOT NULL, output_path TEXT NOT NULL,"
    " state TEXT NOT NULL, stage_text TEXT NOT NULL, error_text TEXT NOT NULL,"
    " bytes_done INTEGER NOT NULL, bytes_total INTEGER NOT NULL,"
    " created_at INTEGER NOT NULL, finished_at INTEGER NOT NULL)",
    // What the MP4 carries besides its streams; rows of before carry nothing.
    "ALTER TABLE items ADD COLUMN tagged INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN tag_video_title TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN tag_author TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN tag_date TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN tag_page_address TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN tag_description TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN tag_parts INTEGER NOT NULL DEFAULT 1;"
    "ALTER TABLE items ADD COLUMN cover_address TEXT NOT NULL DEFAULT ''",
    // What another program asks of the program that runs the item ("pause", ...).
    "ALTER TABLE items ADD COLUMN command TEXT NOT NULL DEFAULT ''",
    // The video's title as the site gives it, for the list; rows of before show the folder.
    "ALTER TABLE items ADD COLUMN site_title TEXT NOT NULL DEFAULT ''",
    // The episode of a season a part is; rows of before are videos' parts.
    "ALTER TABLE items ADD COLUMN episode_id TEXT NOT NULL DEFAULT ''",
    // The codec order a part was submitted with ('' the default one) and the codecid its
    // job took (0 before one chose); rows of before took the default's first.
    "ALTER TABLE items ADD COLUMN video_codecs TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE items ADD COLUMN video_codec INTEGER NOT NULL DEFAULT 0",
    // What a part's file holds ("av", "audio", "video"); rows of before hold both.
    "ALTER TABLE items ADD COLUMN content TEXT NOT NULL DEFAULT 'av'",
    // The subtitles a part takes ('' none); rows of before take the setting's default.
    "ALTER TABLE items ADD COLUMN subtitles TEXT NOT NULL DEFAULT 'all';"
    "ALTER TABLE items ADD COLUMN ai_subtitles INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN subtitles_only INTEGER NOT NULL DEFAULT 0",
    // Whether the tags go into the file (rows of before: when they have them) and the .nfo
    // files are written (rows of before: none).
    "ALTER TABLE items ADD COLUMN file_tags INTEGER NOT NULL DEFAULT 1;"
    "ALTER TABLE items ADD COLUMN library_info INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN season_id TEXT NOT NULL DEFAULT ''",
    // The bullet comments a part takes; rows of before take none.
    "ALTER TABLE items ADD COLUMN danmaku INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN danmaku_track INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE items ADD COLUMN danmaku_only INTEGER NOT NULL DEFAULT 0",
    // The lists followed, and the videos each has seen; lease_* says which program checks
    // one now and until when.
    "CREATE TABLE IF NOT EXISTS subscriptions ("
    " id INTEGER PRIMARY KEY, address TEXT NOT NULL, kind TEXT NOT NULL, name TEXT NOT NULL,"
    " folder TEXT NOT NULL, quality TEXT NOT NULL, audio TEXT NOT NULL,"
    " extras TEXT NOT NULL, since INTEGER NOT NULL, back_catalogue INTEGER NOT NULL,"
    " interval_seconds INTEGER NOT NULL, paused INTEGER NOT NULL,"
    " last_check INTEGER NOT NULL, new_count INTEGER NOT NULL, next_check INTEGER NOT NULL,"
    " status TEXT NOT NULL, lease_owner TEXT NOT NULL, lease_until INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS subscription_videos ("
    " subscription_id INTEGER NOT NULL, bvid TEXT NOT NULL, note TEXT NOT NULL,"
    " seen_at INTEGER NOT NULL, PRIMARY KEY (subscription_id, bvid)) WITHOUT ROWID",
};

constexpr const char* kColumns =
    "id, bvid, video_title, cid, page_title, page_number, video_quality, audio_quality,"
    " quality_name, directory, output_path, state, stage_text, error_text, bytes_done,"
    " bytes_total, created_at, finished_at, tagged, tag_video_title, tag_author, tag_date,"
    " tag_page_address, tag_description, tag_parts, cover_address, site_title, episode_id,"
    " video_codecs, video_codec, content, subtitles, ai_subtitles, subtitles_only,"
    " file_tags, library_info, season_id, danmaku, danmaku_track, danmaku_only";

// "bvid = excluded.bvid, ...": every column but the id and the command, so a program
// writing its item never drops what another program asked of it meanwhile.
std::string updateOfEveryColumn() {
    std::string update;
    const std::string columns = kColumns;
    for (std::size_t start = columns.find(',') + 1; start != 0;) {
        const std::size_t end = columns.find(',', start);
        std::string name = columns.substr(start, end == std::string::npos ? end : end - start);
        name.erase(0, name.find_first_not_of(' '));
        if (!update.empty()) update += ", ";
        update += name + " = excluded." + name;
        start = end == std::string::npos ? 0 : end + 1;
    }
    return update;
}

StoreCheck failure(const SqliteDatabase& database) {
    switch (database.errorCode()) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_ERROR:  // no such table or column: another schema
        case SQLITE_SCHEMA:
        case SQLITE_MISMATCH:
        case SQLITE_FORMAT:
        case SQLITE_CONSTRAINT:
            return StoreCheck::Broken;
        default:
            return StoreCheck::Unusable;
    }
}

std::string local(const SqliteStatement& row, int column) {
    return utf8ToLocalText(row.textColumn(column));
}

int number(const SqliteStatement& row, int column) {
    return static_cast<int>(row.integerColumn(column));
}

// FNV-1a over the texts (each with its end) and the numbers.
std::uint64_t fingerprint(std::string_view state, std::string_view stage, std::string_view error,
                          std::int64_t done, std::int64_t total) {
    std::uint64_t hash = 14695981039346656037ULL;
    auto add = [&](std::string_view bytes) {
        for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        hash = (hash ^ 0xFFU) * 1099511628211ULL;
    };
    add(state);
    add(stage);
    add(error);
    add(std::to_string(done));
    add(std::to_string(total));
    return hash;
}

// The codec of a stored codecid; none for 0 or one this program does not know.
std::optional<VideoCodec> codecOfId(std::int64_t id) {
    for (const VideoCodec codec : defaultCodecOrder()) {
        if (static_cast<std::int64_t>(codec) == id) return codec;
    }
    return std::nullopt;
}

// Columns 19 to 26: the tags (all empty without them) and the cover's address.
void bindTags(SqliteStatement& statement, const DownloadRequest& request) {
    const VideoTags tags = request.tags.value_or(VideoTags{});
    statement.bind(19, std::int64_t{request.tags.has_value()});
    const std::string texts[] = {tags.videoTitle, tags.author, tags.date, tags.pageAddress,
                                 tags.description};
    for (size_t i = 0; i < std::size(texts); ++i) {
        statement.bind(20 + static_cast<int>(i), localToUtf8(texts[i]));
    }
    statement.bind(25, std::int64_t{tags.parts});
    statement.bind(26, localToUtf8(request.coverAddress));
}

}  // namespace

bool writeSeen(SqliteDatabase& database, const std::vector<SeenVideo>& seen) {
    if (seen.empty()) return true;
    // A subscription removed meanwhile sees nothing more.
    SqliteStatement note(database,
                         "INSERT OR IGNORE INTO subscription_videos"
                         " (subscription_id, bvid, note, seen_at) SELECT ?1, ?2, ?3, ?4"
                         " WHERE EXISTS (SELECT 1 FROM subscriptions WHERE id = ?1)");
    for (const SeenVideo& video : seen) {
        note.bind(1, video.subscriptionId);
        note.bind(2, video.bvid);
        note.bind(3, localToUtf8(video.note));
        note.bind(4, video.seenAt);
        if (note.step() != SqliteStatement::Step::Done) return false;
        note.reset();
    }
    return true;
}

StoreCheck upgradeStore(SqliteDatabase& database, int schemaVersion) {
    std::int64_t version = 0;
    if (!database.queryInteger("PRAGMA user_version", version)) return failure(database);
    // A store written by a later program (or by something else) is not ours to read.
    const auto known = static_cast<std::int64_t>(std::size(kUpgrades));
    if (version < 0 || version > schemaVersion || schemaVersion > known) return StoreCheck::Broken;
    for (; version < schemaVersion; ++version) {
        SqliteTransaction transaction(database);
        if (!transaction.isActive() || !database.execute(kUpgrades[version]) ||
            !database.execute("PRAGMA user_version = " + std::to_string(version + 1)) ||
            !transaction.commit()) {
            return failure(database);
        }
    }
    return StoreCheck::Ready;
}

bool useWriteAheadLog(SqliteDatabase& database) {
    return database.execute("PRAGMA journal_mode = WAL") &&
           database.execute("PRAGMA synchronous = NORMAL");
}

StoreCheck readItems(SqliteDatabase& database, std::vector<DownloadItem>& items) {
    return readItems(database, [&](DownloadItem&& item) { items.push_back(std::move(item)); });
}

std::uint64_t itemFingerprint(const DownloadItem& item) {
    return fingerprint(itemStateName(item.state), localToUtf8(item.stageText),
                       localToUtf8(item.errorText), item.bytesDone, item.bytesTotal);
}

StoreCheck readItems(SqliteDatabase& database, const ItemTaker& take, const RowFilter& wanted) {
    SqliteStatement row(database, std::string("SELECT ") + kColumns + " FROM items ORDER BY id");
    if (!row.isValid()) return failure(database);
    for (;;) {
        const SqliteStatement::Step step = row.step();
        if (step == SqliteStatement::Step::Done) return StoreCheck::Ready;
        if (step == SqliteStatement::Step::Error) return failure(database);
        if (wanted &&
            !wanted(row.integerColumn(0),
                    fingerprint(row.textColumn(11), row.textColumn(12), row.textColumn(13),
                                row.integerColumn(14), row.integerColumn(15)))) {
            continue;
        }
        DownloadItem item;
        item.id = row.integerColumn(0);
        DownloadRequest& request = item.request;
        request.bvid = local(row, 1);
        request.videoTitle = local(row, 2);
        request.cid = local(row, 3);
        request.pageTitle = local(row, 4);
        request.pageNumber = number(row, 5);
        request.videoQuality = number(row, 6);
        request.audioQuality = number(row, 7);
        request.qualityName = local(row, 8);
        request.directory = local(row, 9);
        request.outputPath = local(row, 10);
        const auto state = itemStateFromName(row.textColumn(11));
        if (!state) return StoreCheck::Broken;
        item.state = *state;
        item.stageText = local(row, 12);
        item.errorText = local(row, 13);
        item.bytesDone = row.integerColumn(14);
        item.bytesTotal = row.integerColumn(15);
        item.createdAt = row.integerColumn(16);
        item.finishedAt = row.integerColumn(17);
        if (row.integerColumn(18) != 0) {
            request.tags = VideoTags{local(row, 19), local(row, 20), local(row, 21),
                                     local(row, 22), local(row, 23), number(row, 24)};
        }
        request.coverAddress = local(row, 25);
        request.siteTitle = local(row, 26);
        request.episodeId = local(row, 27);
        request.codecs = parseCodecOrder(row.textColumn(28)).value_or(defaultCodecOrder());
        item.videoCodec = codecOfId(row.integerColumn(29));
        request.content = downloadContentOf(row.textColumn(30));
        request.subtitles = {row.textColumn(31), row.integerColumn(32) != 0,
                             row.integerColumn(33) != 0};
        request.fileTags = row.integerColumn(34) != 0;
        request.libraryInfo = row.integerColumn(35) != 0;
        request.seasonId = row.textColumn(36);
        request.danmaku = {row.integerColumn(37) != 0, row.integerColumn(38) != 0,
                           row.integerColumn(39) != 0};
        take(std::move(item));
    }
}

StoreCheck readCommands(SqliteDatabase& database, std::map<std::int64_t, ListCommand>& commands) {
    SqliteStatement row(database, "SELECT id, command FROM items WHERE command != ''");
    if (!row.isValid()) return failure(database);
    for (;;) {
        const SqliteStatement::Step step = row.step();
        if (step == SqliteStatement::Step::Done) return StoreCheck::Ready;
        if (step == SqliteStatement::Step::Error) return failure(database);
        if (const auto command = commandFromText(row.textColumn(1))) {
            commands[row.integerColumn(0)] = *command;
        }
    }
}

bool writeCommand(SqliteDatabase& database, std::int64_t id, ListCommand command) {
    SqliteStatement update(database, "UPDATE items SET command = ?2 WHERE id = ?1");
    update.bind(1, id);
    update.bind(2, std::string(commandText(command)));
    return update.step() == SqliteStatement::Step::Done;
}

bool clearCommand(SqliteDatabase& database, std::int64_t id, ListCommand obeyed) {
    SqliteStatement update(database,
                           "UPDATE items SET command = '' WHERE id = ?1 AND command = ?2");
    update.bind(1, id);
    update.bind(2, std::string(commandText(obeyed)));
    return update.step() == SqliteStatement::Step::Done;
}

bool writeChanges(SqliteDatabase& database, const std::vector<StoreChange>& changes,
                  const std::vector<SeenVideo>& seen) {
    SqliteTransaction transaction(database);
    if (!transaction.isActive()) return false;
    if (!writeSeen(database, seen)) return false;
    SqliteStatement put(database, std::string("INSERT INTO items (") + kColumns +
                                      ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10,"
                                      " ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20,"
                                      " ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30, ?31, ?32,"
                                      " ?33, ?34, ?35, ?36, ?37, ?38, ?39, ?40)"
                                      " ON CONFLICT (id) DO UPDATE SET " +
                                      updateOfEveryColumn());
    SqliteStatement remove(database, "DELETE FROM items WHERE id = ?1");
    for (const StoreChange& change : changes) {
        SqliteStatement& statement = change.item != nullptr ? put : remove;
        statement.bind(1, change.id);
        if (const DownloadItem* item = change.item) {
            const DownloadRequest& request = item->request;
            const std::string texts[] = {
                request.bvid,       request.videoTitle,  request.cid,
                request.pageTitle,  request.qualityName, request.directory,
                request.outputPath, request.siteTitle,   request.episodeId};
            const int textColumns[] = {2, 3, 4, 5, 9, 10, 11, 27, 28};
            for (size_t i = 0; i < std::size(texts); ++i) {
                statement.bind(textColumns[i], localToUtf8(texts[i]));
            }
            statement.bind(6, std::int64_t{request.pageNumber});
            statement.bind(7, std::int64_t{request.videoQuality});
            statement.bind(8, std::int64_t{request.audioQuality});
            statement.bind(12, std::string(itemStateName(item->state)));
            statement.bind(13, localToUtf8(item->stageText));
            statement.bind(14, localToUtf8(item->errorText));
            statement.bind(15, item->bytesDone);
            statement.bind(16, item->bytesTotal);
            statement.bind(17, item->createdAt);
            statement.bind(18, item->finishedAt);
            bindTags(statement, request);
            statement.bind(29, codecOrderText(request.codecs));
            statement.bind(
                30, std::int64_t{item->videoCodec ? static_cast<int>(*item->videoCodec) : 0});
            statement.bind(31, std::string(downloadContentKey(request.content)));
            statement.bind(32, request.subtitles.languages);
            statement.bind(33, std::int64_t{request.subtitles.ai});
            statement.bind(34, std::int64_t{request.subtitles.only});
            statement.bind(35, std::int64_t{request.fileTags});
            statement.bind(36, std::int64_t{request.libraryInfo});
            statement.bind(37, request.seasonId);
            statement.bind(38, std::int64_t{request.danmaku.files});
            statement.bind(39, std::int64_t{request.danmaku.track});
            statement.bind(40, std::int64_t{request.danmaku.only});
        }
        if (statement.step() != SqliteStatement::Step::Done) return false;
        statement.reset();
    }
    return transaction.commit();
}

}  // namespace quivra
