// get ADDRESS... [-i FILE] [-q QUALITY] [-a AUDIO] [-p PARTS] [-o FOLDER] [-j THREADS] [--json]
//     [--no-tags] [--no-cover] [--codec ORDER] [--audio-only|--video-only] [--container mp4|mkv]
//     [--output TEMPLATE] [--keep-title-characters] [--items ITEMS] [--since DAY] [--until DAY]
//     [--match TEXT] [--subtitles LANGS|all|none] [--subtitles-only] [--nfo] [--danmaku]
//     [--danmaku-only]
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/cli/command.h"
#include "app/cli/download_commands.h"
#include "app/cli/part_numbers.h"
#include "download/list/download_item.h"
#include "download/plan/file_template.h"
#include "download/plan/output_format.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"
#include "video/audio_choices.h"
#include "video/video_codec.h"

namespace quivra {

namespace {

// The audio choices of the settings, by their Chinese and English names.
std::map<std::string, int> audioNames() {
    std::map<std::string, int> names;
    for (const AudioChoice& choice : kAudioChoices) {
        names[choice.name] = choice.streamId;
        names[choice.englishName] = choice.streamId;
    }
    return names;
}

// A value option whose text `read` turns into a value, or refuses as bad usage.
template <typename Value>
void addParsedOption(CLI::App& command, const std::string& name, const std::string& help,
                     const std::string& typeName,
                     std::optional<Value> (*read)(const std::string& text),
                     std::function<void(Value)> keep) {
    command
        .add_option_function<std::string>(
            name, [read, keep](const std::string& text) { keep(*read(text)); }, help)
        ->type_name(typeName)
        ->check(CLI::Validator(
            [read, typeName](std::string& text) {
                return read(text) ? std::string() : "not " + typeName + ": " + text;
            },
            ""));
}

void addListOptions(CLI::App& command, GetOptions& options) {
    EntryFilter& filter = options.entries;
    addParsedOption<std::vector<std::pair<int, int>>>(
        command, "--items", "Videos of a list by position, like 1-20,25 (default all)", "ITEMS",
        parseItemRanges,
        [&filter](std::vector<std::pair<int, int>> items) { filter.items = std::move(items); });
    addParsedOption<std::int64_t>(
        command, "--since", "Videos of a list published on that day (yyyy-MM-dd) or later", "DAY",
        parseDay, [&filter](std::int64_t day) { filter.since = day; });
    addParsedOption<std::int64_t>(
        command, "--until", "Videos of a list published on that day (yyyy-MM-dd) or earlier", "DAY",
        parseDay, [&filter](std::int64_t day) { filter.until = day; });
    command
        .add_option_function<std::string>(
            "--match", [&filter](const std::string& text) { filter.match = utf8ToLocalText(text); },
            "Videos of a list whose title holds TEXT, in any case")
        ->type_name("TEXT");
}

}  // namespace

std::vector<SettingChange> settingOverrides(const GetOptions& options) {
    std::vector<SettingChange> overrides;
    if (!options.folder.empty()) {
        std::error_code error;
        std::string folder = std::filesystem::absolute(options.folder, error).lexically_normal();
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        overrides.push_back({SettingKey::Directory, utf8ToLocalText(folder)});
    }
    if (options.threads > 0) overrides.push_back({SettingKey::ThreadNumber, options.threads});
    if (options.noTags) overrides.push_back({SettingKey::WriteTags, false});
    if (options.noCover) overrides.push_back({SettingKey::SaveCover, false});
    if (!options.codecs.empty()) {
        overrides.push_back(
            {SettingKey::VideoCodecs, codecOrderText(*parseCodecOrder(options.codecs))});
    }
    if (options.audioOnly || options.videoOnly) {
        const DownloadContent content =
            options.audioOnly ? DownloadContent::AudioOnly : DownloadContent::VideoOnly;
        overrides.push_back(
            {SettingKey::DownloadContent, std::string(downloadContentKey(content))});
    }
    if (!options.container.empty()) {
        overrides.push_back({SettingKey::Container, options.container});
    }
    if (!options.nameTemplate.empty()) {
        overrides.push_back({SettingKey::FileNameTemplate, utf8ToLocalText(options.nameTemplate)});
    }
    if (options.keepTitleCharacters) overrides.push_back({SettingKey::KeepTitleCharacters, true});
    if (!options.subtitles.empty()) {
        const bool none = options.subtitles == "none";
        overrides.push_back({SettingKey::Subtitles, !none});
        if (!none) overrides.push_back({SettingKey::SubtitleLanguages, options.subtitles});
    }
    if (options.nfo) overrides.push_back({SettingKey::LibraryInfo, true});
    if (options.now) overrides.push_back({SettingKey::DownloadWindowOn, false});
    if (options.danmaku) overrides.push_back({SettingKey::Danmaku, true});
    return overrides;
}

void addGetCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<GetOptions>();
    CLI::App* command = app.add_subcommand(
        "get",
        "Download videos as the main window does: one file per part (an MP4 unless chosen "
        "otherwise), named and placed as the window names them, through the same download "
        "list. Finished parts are skipped, parts stopped half-way resume. Ctrl-C stops "
        "cleanly; get again to continue");
    command->add_option("ADDRESS", options->addresses,
                        "Video page addresses, BV identifiers or av numbers, or addresses of "
                        "lists (an uploader's videos, a favourites folder, a collection, a "
                        "series, the watch-later list, a season), whose videos go into a folder "
                        "named after the list; - reads them from standard input, separated by "
                        "blanks, commas or lines");
    command
        ->add_option("-i,--input", options->input,
                     "Read addresses from a text file, separated by blanks, commas or lines; "
                     "repeated videos are downloaded once")
        ->type_name("FILE");
    command
        ->add_option(
            "-q,--quality", options->quality,
            "Video quality by id (80) or name (1080P); default the settings' 默认视频质量: "
            "the best this account may download up to it")
        ->type_name("QUALITY");
    command
        ->add_option(
            "-a,--audio", options->audio,
            "Audio quality: 高|中|低|无损|杜比全景声 or high|medium|low|lossless|dolby (default "
            "the settings' 默认音频质量; lossless and dolby where the video has them, else high)")
        ->type_name("AUDIO")
        ->transform(CLI::CheckedTransformer(audioNames(), CLI::ignore_case).description(""));
    command
        ->add_option_function<std::string>(
            "-p,--parts",
            [options](const std::string& text) { options->parts = *parsePartNumbers(text); },
            "Parts by number, like 1,3-5 (default all; the videos of a list: all)")
        ->type_name("PARTS")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parsePartNumbers(text) ? std::string() : "not part numbers: " + text;
            },
            ""));
    command
        ->add_option("-o,--folder", options->folder,
                     "Download folder for this run (default the stored one; not stored)")
        ->type_name("FOLDER");
    command
        ->add_option("-j,--threads", options->threads,
                     "Parts downloading at once for this run (default the stored number; not "
                     "stored)")
        ->type_name("THREADS")
        ->check(CLI::Range(1, ThreadPool::kMaxThreads).description(""));
    command->add_flag("--json", options->json, "Write one JSON object per event");
    command->add_flag("--no-tags", options->noTags,
                      "Write no title, author, date or description into the MP4s (for this "
                      "run; default the stored setting)");
    command->add_flag("--no-cover", options->noCover,
                      "Neither save the video's cover as cover.jpg nor attach it to the MP4s "
                      "(for this run; default the stored setting)");
    command
        ->add_option("--codec", options->codecs,
                     "Video codecs in the order wanted, like hevc,av1,avc: a quality not sent in "
                     "the first takes the next (for this run; default the settings' 视频编码)")
        ->type_name("ORDER")
        ->check(CLI::Validator(
            [](std::string& text) {
                std::string unknown;
                if (parseCodecOrder(text, &unknown)) return std::string();
                return "not a codec (avc, hevc or av1), or one named twice: " + unknown;
            },
            ""));
    CLI::Option* audioOnly = command->add_flag(
        "--audio-only", options->audioOnly,
        "The audio alone: NN_name.m4a, or .flac for lossless audio (for this run; default the "
        "settings' 下载内容)");
    command
        ->add_flag("--video-only", options->videoOnly,
                   "The video alone, without its audio (for this run; default the settings' "
                   "下载内容)")
        ->excludes(audioOnly);
    command
        ->add_option("--container", options->container,
                     "The file of video parts: mp4 or mkv; lossless audio always goes into mkv "
                     "(for this run; default the settings' 容器)")
        ->type_name("mp4|mkv")
        ->check(CLI::IsMember({"mp4", "mkv"}).description(""));
    command
        ->add_option("--output", options->nameTemplate,
                     "Where each part's file goes under the download folder, like "
                     "{bvid}/{pageNumber}: / between folders, fields {videoTitle} {pageTitle} "
                     "{pageNumber} {pageNumberWithZero} {bvid} {aid} {cid} {quality} {codec} "
                     "{owner} {ownerMid} {publishDate} {listName} {episode} (for this run; "
                     "default the settings' 文件名格式)")
        ->type_name("TEMPLATE")
        ->check(CLI::Validator(
            [](std::string& text) {
                const std::string problem = fileTemplateProblem(utf8ToLocalText(text));
                return problem.empty() ? std::string() : localToUtf8(problem) + ": " + text;
            },
            ""));
    command
        ->add_option("--subtitles", options->subtitles,
                     "The uploader's subtitles: all, none, or languages like zh-CN,en-US, each "
                     "as NN_name.<language>.srt beside the part's file and as a track of its "
                     "video (for this run; default the settings' 下载字幕 and 字幕语言)")
        ->type_name("LANGS|all|none")
        ->check(CLI::Validator(
            [](std::string& text) {
                const bool tags = text == "none" || isSubtitleLanguages(text);
                return tags ? std::string() : "not all, none or language tags: " + text;
            },
            ""));
    command->add_flag("--subtitles-only", options->subtitlesOnly,
                      "Only the subtitles' .srt files: no streams, no merge");
    command->add_flag("--nfo", options->nfo,
                      "NN_name.nfo beside each part's file, and tvshow.nfo in a season's "
                      "folder, for media libraries (for this run; default the settings' "
                      "生成媒体库信息)");
    command->add_flag("--now", options->now,
                      "Download now, outside the settings' 下载时段 too (for this run; the "
                      "speed limit's 限速时段 still holds)");
    command->add_flag("--danmaku", options->danmaku,
                      "The bullet comments beside each part's file: NN_name.danmaku.xml as the "
                      "site sends it and NN_name.danmaku.ass for any player, drawn on the "
                      "video's frame in the settings' style (for this run; default the "
                      "settings' 下载弹幕)");
    command->add_flag("--danmaku-only", options->danmakuOnly,
                      "Only the bullet comments' two files: no streams, no merge");
    command->add_flag("--keep-title-characters", options->keepTitleCharacters,
                      "Names keep every character of the titles a file name can hold (for "
                      "this run; default the settings' 保留原标题字符)");
    addListOptions(*command, *options);
    command->callback([&chosen, options] {
        if (options->addresses.empty() && options->input.empty()) {
            throw CLI::RequiredError("ADDRESS or --input");
        }
        chosen = [options](Terminal& terminal) { return runGet(*options, terminal); };
    });
}

}  // namespace quivra
