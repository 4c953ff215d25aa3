#include "net/http_session.h"

#include <curl/curl.h>

#include <mutex>

namespace quivra {

void ensureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpSession::HttpSession() {
    ensureCurlInitialised();
    handle_ = curl_easy_init();
}

HttpSession::~HttpSession() {
    if (handle_) curl_easy_cleanup(handle_);
}

}  // namespace quivra
