// Why an answer of the site's interface could not be used, as a short text for the user
// (local text).
#pragma once

#include <string>

#include "net/http_request.h"

namespace quivra {

// An answer that gave no JSON document: how the body (local text) came back decides.
// "服务器没有回应", "无法连接代理服务器", "回答不完整", "回答过大", "回答嵌套过深" or
// "回答不是JSON".
std::string unreadableAnswerReason(HttpOutcome outcome, const std::string& body);

// An answer whose code is not "0": the site's message and the code, cut to a length a
// label can show ("视频不存在（-404）"; without a message "站点拒绝（-404）").
std::string refusedAnswerReason(const std::string& code, const std::string& message);

}  // namespace quivra
