#include "video/audio_choices.h"

#include "net/text_encoding.h"

namespace quivra {

int audioStreamNamed(const std::string& localName) {
    for (const AudioChoice& audio : kAudioChoices) {
        if (localText(audio.name) == localName) return audio.streamId;
    }
    return kAudioChoices.front().streamId;
}

}  // namespace quivra
