#include "download/plan/output_format.h"

namespace quivra {

namespace {

struct FormatName {
    OutputFormat format;
    const char* extension;
};

constexpr FormatName kFormatNames[] = {
    {OutputFormat::Mp4, ".mp4"},
    {OutputFormat::Mkv, ".mkv"},
    {OutputFormat::M4a, ".m4a"},
    {OutputFormat::Flac, ".flac"},
};

}  // namespace

DownloadContent downloadContentOf(const std::string& key) {
    for (const ContentChoice& choice : kContentChoices) {
        if (key == choice.key) return choice.content;
    }
    return DownloadContent::AudioVideo;
}

const char* downloadContentKey(DownloadContent content) {
    for (const ContentChoice& choice : kContentChoices) {
        if (choice.content == content) return choice.key;
    }
    return kContentChoices.front().key;
}

OutputFormat chooseOutputFormat(DownloadContent content, const std::string& container,
                                int audioId) {
    const bool lossless = audioId == kLosslessAudioId;
    if (content == DownloadContent::AudioOnly) {
        return lossless ? OutputFormat::Flac : OutputFormat::M4a;
    }
    if (content == DownloadContent::AudioVideo && lossless) return OutputFormat::Mkv;
    return container == "mkv" ? OutputFormat::Mkv : OutputFormat::Mp4;
}

const char* outputExtension(OutputFormat format) {
    for (const FormatName& name : kFormatNames) {
        if (name.format == format) return name.extension;
    }
    return kFormatNames[0].extension;
}

std::optional<OutputFormat> outputFormatOfPath(const std::string& path) {
    for (const FormatName& name : kFormatNames) {
        if (path.ends_with(name.extension)) return name.format;
    }
    return std::nullopt;
}

}  // namespace quivra
