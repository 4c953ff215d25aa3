#include "download/plan/file_template.h"

#include <vector>

#include "download/job/merge_command.h"
#include "download/plan/download_files.h"
#include "download/plan/part_names.h"
#include "net/text_encoding.h"
#include "net/text_helpers.h"
#include "video/title_cleaning.h"

namespace quivra {

namespace {

struct TemplateField {
    const char* name;
    std::string (*value)(const TemplateFields& fields);
};

const TemplateField kFields[] = {
    {"videoTitle", [](const TemplateFields& f) { return f.videoTitle; }},
    {"pageTitle", [](const TemplateFields& f) { return f.pageTitle; }},
    {"pageNumber", [](const TemplateFields& f) { return std::to_string(f.pageNumber); }},
    {"pageNumberWithZero", [](const TemplateFields& f) { return rowNumberText(f.pageNumber - 1); }},
    {"bvid", [](const TemplateFields& f) { return f.bvid; }},
    {"aid", [](const TemplateFields& f) { return f.aid; }},
    {"cid", [](const TemplateFields& f) { return f.cid; }},
    {"quality", [](const TemplateFields& f) { return f.quality; }},
    {"codec", [](const TemplateFields& f) { return f.codec; }},
    {"owner", [](const TemplateFields& f) { return f.owner; }},
    {"ownerMid", [](const TemplateFields& f) { return f.ownerMid; }},
    {"publishDate", [](const TemplateFields& f) { return f.publishDate; }},
    {"listName", [](const TemplateFields& f) { return f.listName; }},
    {"episode", [](const TemplateFields& f) { return f.episode; }},
};

// Text as typed, or a field to fill.
struct Piece {
    std::string text;
    const TemplateField* field = nullptr;
};

// The folders and, last, the file name, each a row of pieces.
struct ParsedTemplate {
    std::vector<std::vector<Piece>> names;
    std::string problem;  // local text; "" when the template can name files
};

const TemplateField* fieldNamed(const std::string& name) {
    for (const TemplateField& field : kFields) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

bool isControl(const std::string& character) {
    const auto byte = static_cast<unsigned char>(character.front());
    return byte < 0x20 || byte == 0x7f;
}

// What the typed text of a name is once every field is left empty.
std::string typedText(const std::vector<Piece>& pieces) {
    std::string text;
    for (const Piece& piece : pieces) text += piece.text;
    return text;
}

std::string shapeProblem(const ParsedTemplate& parsed) {
    const std::size_t folders = parsed.names.size() - 1;
    if (folders > 0 && parsed.names.front().empty()) return localText("文件名格式不能以/开头");
    if (parsed.names.back().empty()) return localText("文件名格式缺少文件名，不能以/结尾");
    for (std::size_t i = 0; i < folders; ++i) {
        const std::string text = typedText(parsed.names[i]);
        if (parsed.names[i].empty()) return localText("文件名格式中不能有空的目录");
        // A field may fill to nothing: "{episode}.." would climb out of the folder.
        if (text == "." || text == "..") return localText("文件名格式中的目录不能是.或..");
    }
    return {};
}

// Walks the template by whole characters: a GBK trail byte may look like "{", "}" or "/".
ParsedTemplate parseTemplate(const std::string& text) {
    ParsedTemplate parsed;
    parsed.names.emplace_back();
    if (trimBlanks(text).empty()) {
        parsed.problem = localText("文件名格式不能为空");
        return parsed;
    }
    std::vector<std::string> characters;
    splitCharacters(text, characters);
    for (std::size_t at = 0; at < characters.size(); ++at) {
        const std::string& character = characters[at];
        std::vector<Piece>& pieces = parsed.names.back();
        if (character == "/") {
            parsed.names.emplace_back();
        } else if (character == "{") {
            std::string name;
            while (++at < characters.size() && characters[at] != "}") name += characters[at];
            if (at == characters.size()) {
                parsed.problem = localText("文件名格式中的{没有对应的}");
                return parsed;
            }
            const TemplateField* field = fieldNamed(name);
            if (!field) {
                parsed.problem = localText("文件名格式中有未知的字段：{") + name + "}";
                return parsed;
            }
            pieces.push_back({std::string(), field});
        } else if (isControl(character)) {
            parsed.problem = localText("文件名格式中不能有控制字符");
            return parsed;
        } else {
            if (pieces.empty() || pieces.back().field) pieces.emplace_back();
            pieces.back().text += character;
        }
    }
    parsed.problem = shapeProblem(parsed);
    return parsed;
}

// A field's value made fit for a name: cleaned as titles are, or with keepCharacters only
// what a Linux name cannot hold replaced.
std::string cleanField(const std::string& value, bool keepCharacters) {
    if (!keepCharacters) return pageName(value);
    std::vector<std::string> characters;
    splitCharacters(value, characters);
    std::string cleaned;
    for (const std::string& character : characters) {
        cleaned += character == "/" || isControl(character) ? "_" : character;
    }
    return cleaned;
}

std::string filled(const std::vector<Piece>& pieces, const TemplateFields& fields,
                   bool keepCharacters) {
    std::string name;
    for (const Piece& piece : pieces) {
        name += piece.field ? cleanField(piece.field->value(fields), keepCharacters) : piece.text;
    }
    return name;
}

}  // namespace

std::string fileTemplateProblem(const std::string& templateText) {
    return parseTemplate(templateText).problem;
}

bool placesListName(const std::string& templateText) {
    const ParsedTemplate parsed = parseTemplate(templateText);
    if (!parsed.problem.empty()) return false;
    for (const std::vector<Piece>& name : parsed.names) {
        for (const Piece& piece : name) {
            if (piece.field && std::string(piece.field->name) == "listName") return true;
        }
    }
    return false;
}

std::string templatedPath(const std::string& templateText, const TemplateFields& fields,
                          bool keepCharacters, const std::string& extension) {
    ParsedTemplate parsed = parseTemplate(templateText);
    if (!parsed.problem.empty()) parsed = parseTemplate(kDefaultFileTemplate);
    std::string path;
    for (std::size_t i = 0; i + 1 < parsed.names.size(); ++i) {
        std::string folder =
            fitNameBytes(filled(parsed.names[i], fields, keepCharacters), kNameBytes);
        // Such videos do not share the root, nor reach above it.
        if (folder.empty() || folder == "." || folder == "..") folder = fields.bvid;
        path += folder + "/";
    }
    std::string name = filled(parsed.names.back(), fields, keepCharacters);
    if (name.empty()) name = fields.bvid;
    // Room for the merge's ".part" after the extension.
    const std::size_t room =
        kNameBytes - std::string(kPartSuffix).size() - localToUtf8(extension).size();
    return path + fitNameBytes(name, room) + extension;
}

}  // namespace quivra
