#include "base/site_text.h"

#include "net/text_encoding.h"

namespace quivra {

std::string siteText(const std::string& utf8, const std::string& local) {
    return utf8.empty() ? localToUtf8(local) : utf8;
}

}  // namespace quivra
