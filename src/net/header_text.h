// The request header text ("Name: value" lines joined by CR LF) and the response header
// block: defaults, name re-casing, splitting into fields, Set-Cookie collection.
#pragma once

#include <string>
#include <vector>

namespace quivra {

struct HeaderField {
    std::string name;
    std::string value;
};

// Splits at CR LF, keeping empty lines.
std::vector<std::string> splitLines(const std::string& text);

// Upper-cases the first character when it is an ASCII letter a to z.
std::string capitalizeFirst(const std::string& part);

// Appends, each after CR LF and in this order, the default Accept, Referer (= url),
// Accept-Language, User-Agent and, for a POST, Content-Type lines whose "Name:" the text
// does not contain anywhere (ASCII case ignored).
std::string withDefaultHeaders(const std::string& headers, const std::string& url, bool isPost);

// Re-cases every header name ("x-requested-with" -> "X-Requested-With"), drops lines
// without a colon, joins the lines with CR LF.
std::string normalizeHeaderNames(const std::string& headerText);

// The name and value (trimmed of blanks) of one line; both "" without a colon.
HeaderField splitHeaderLine(const std::string& line);

// The fields the header text sets, in order: one per non-empty line, except a
// "Connection: keep-alive" line (exact case), which is never passed on.
std::vector<HeaderField> headerFields(const std::string& headerText);

// The first "name=value" of every "Set-Cookie" line (exact case) of a response header
// block, joined by "; ".
std::string collectSetCookies(const std::string& responseHeaders);

}  // namespace quivra
