// Where a part's file goes under the download folder: a template such as
// "{videoTitle}/{pageNumberWithZero}_{pageTitle}" (文件名格式, `get --output`), "/" between
// folders, each {field} filled from the part and cleaned for a file name.
#pragma once

#include <string>

namespace quivra {

// The default template: the video's folder and NN_<page name>, as files were always named.
inline constexpr const char* kDefaultFileTemplate = "{videoTitle}/{pageNumberWithZero}_{pageTitle}";

// What a template's fields are filled from (local text, as the site gave it; not cleaned).
struct TemplateFields {
    std::string videoTitle;
    std::string pageTitle;
    int pageNumber = 1;  // the row number, counted from 1
    std::string bvid;
    std::string aid;
    std::string cid;
    std::string quality;  // the quality as offered ("1080P 高清")
    std::string codec;    // "AVC", "HEVC", "AV1"
    std::string owner;
    std::string ownerMid;
    std::string publishDate;  // yyyy-MM-dd
    std::string listName;     // the list the video was downloaded from; "" for one video
    std::string episode;      // an episode of a season: its number; "" otherwise
};

// Why the template cannot name files (local text): empty, only folders, an unknown
// {field}, an unclosed "{", a control character, a leading "/", an empty folder, or a
// folder "." or ".." (or one that fills to it) that could reach outside the download
// folder; "" when it can.
std::string fileTemplateProblem(const std::string& templateText);

// The file's path under the download folder, ending in `extension` (whatever follows the
// name: ".mp4", or "(2).mp4" for a second part of the same name): each folder and the name
// filled and cleaned (cleanTitle, blanks "_" as a page name is; with keepCharacters only
// "/", NUL and control characters replaced), a folder that fills to nothing, "." or ".."
// and an empty name the BV identifier, each cut at a character to fit 255 bytes of UTF-8,
// the name with the extension and ".part". The default template gives exactly
// "<videoFolderName>/NN_<pageName>.mp4". A template with a problem is read as the default.
std::string templatedPath(const std::string& templateText, const TemplateFields& fields,
                          bool keepCharacters, const std::string& extension);

// Whether the template (one without a problem) names {listName}: the list's videos are
// then placed by it, not in a folder of the list's own.
bool placesListName(const std::string& templateText);

}  // namespace quivra
