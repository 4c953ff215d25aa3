#include "net/answer_reason.h"

#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

// A hostile site may send a message of any length; the status label shows two lines.
constexpr size_t kMaxMessageBytes = 40;
constexpr size_t kMaxCodeBytes = 16;

// At most maxBytes, never ending in half a GBK character; "…" marks a cut.
std::string shortened(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = 0;
    while (end < maxBytes) {
        const size_t length = static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1;
        if (end + length > maxBytes) break;
        end += length;
    }
    return text.substr(0, end) + localText("…");
}

}  // namespace

std::string unreadableAnswerReason(HttpOutcome outcome, const std::string& body) {
    switch (outcome) {
        case HttpOutcome::NoAnswer:
            return localText("服务器没有回应");
        case HttpOutcome::Cut:
            return localText("回答不完整");
        case HttpOutcome::TooLarge:
            return localText("回答过大");
        case HttpOutcome::ProxyUnreachable:
            return localText("无法连接代理服务器");
        case HttpOutcome::Whole:
            break;
    }
    if (!jsonNestingWithinLimit(localToUtf8(body))) return localText("回答嵌套过深");
    return localText("回答不是JSON");
}

std::string refusedAnswerReason(const std::string& code, const std::string& message) {
    const std::string said = message.empty() ? localText("站点拒绝") : message;
    return shortened(said, kMaxMessageBytes) + localText("（") + shortened(code, kMaxCodeBytes) +
           localText("）");
}

}  // namespace quivra
