// What is shown of a text the site sent: the *Utf8 field beside a local one (records.h).
#pragma once

#include <string>

namespace quivra {

// UTF-8 to show: the site's own text where it is known, else the local text converted
// (which has lost what GBK cannot hold).
std::string siteText(const std::string& utf8, const std::string& local);

}  // namespace quivra
