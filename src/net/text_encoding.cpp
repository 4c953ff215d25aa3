#include "net/text_encoding.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace quivra {
namespace {

// Code points are handed to and from iconv as UTF-32 in the machine's byte order, so the
// UTF-8 and UTF-16 forms are coded here and iconv only ever sees GBK on one side.
constexpr const char* kUtf32 = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";
constexpr const char* kLocal = "GBK";
constexpr char32_t kQuestion = U'?';

// One conversion descriptor per thread and direction: iconv_t is not thread-safe, and
// opening one per call costs more than most conversions.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input. A unit that cannot be converted is replaced by
    // `replacement` and skipped (skipUnit bytes of input).
    std::string run(const char* data, size_t size, size_t skipUnit,
                    const std::string& replacement) {
        std::string out;
        if (!valid() || size == 0) return out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(size * 4 + 16);
        char* in = const_cast<char*>(data);
        size_t inLeft = size;
        size_t used = 0;
        while (inLeft > 0) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ (no such character / bad sequence) or EINVAL (cut off at the end).
            size_t skip = skipUnit < inLeft ? skipUnit : inLeft;
            in += skip;
            inLeft -= skip;
            if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + 16);
            std::memcpy(out.data() + used, replacement.data(), replacement.size());
            used += replacement.size();
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        // At its size: the working buffer is many times larger, and converted texts are
        // kept (a long download list holds hundreds of thousands).
        return std::string(out.data(), used);
    }

  private:
    iconv_t cd_;
};

std::string questionAsUtf32() {
    std::string bytes(sizeof(char32_t), '\0');
    std::memcpy(bytes.data(), &kQuestion, sizeof(char32_t));
    return bytes;
}

std::u32string localToCodePoints(const std::string& local) {
    thread_local Converter converter(kUtf32, kLocal);
    static const std::string question = questionAsUtf32();
    std::string bytes = converter.run(local.data(), local.size(), 1, question);
    std::u32string points(bytes.size() / sizeof(char32_t), U'\0');
    std::memcpy(points.data(), bytes.data(), points.size() * sizeof(char32_t));
    return points;
}

std::string codePointsToLocal(const std::u32string& points) {
    thread_local Converter converter(kLocal, kUtf32);
    return converter.run(reinterpret_cast<const char*>(points.data()),
                         points.size() * sizeof(char32_t), sizeof(char32_t), "?");
}

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Strict UTF-8 decoding: overlong forms, surrogates, values above U+10FFFF, stray
// continuation bytes and cut-off sequences each become one '?'.
std::u32string decodeUtf8(const std::string& utf8) {
    std::u32string points;
    points.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            points.push_back(b);
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2, c = b & 0x1F, minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, c = b & 0x0F, minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, c = b & 0x07, minimum = 0x10000;
        }
        int taken = 1;
        while (length > 0 && taken < length && i + taken < n && (s[i + taken] & 0xC0) == 0x80) {
            c = (c << 6) | (s[i + taken] & 0x3F);
            ++taken;
        }
        if (length == 0 || taken < length || c < minimum || c > 0x10FFFF || isSurrogate(c)) {
            points.push_back(kQuestion);
            i += taken;
            continue;
        }
        points.push_back(c);
        i += length;
    }
    return points;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string utf8ToLocalText(const std::string& utf8) {
    // A zero byte in UTF-8 is always the character U+0000: the text ends there.
    size_t end = utf8.find('\0');
    std::u32string points = decodeUtf8(end == std::string::npos ? utf8 : utf8.substr(0, end));
    return codePointsToLocal(points);
}

std::string localToUtf8(const std::string& local) {
    std::string out;
    out.reserve(local.size() * 3 / 2 + 1);
    for (char32_t c : localToCodePoints(local)) appendUtf8(out, c);
    return out;
}

std::u16string localToUtf16(const std::string& local) {
    std::u16string out;
    out.reserve(local.size());
    for (char32_t c : localToCodePoints(local)) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string utf16ToLocal(const std::u16string& utf16) {
    std::u32string points;
    points.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (isSurrogate(c)) {
            c = kQuestion;  // a lone half of a pair
        }
        points.push_back(c);
    }
    return codePointsToLocal(points);
}

std::string localText(const char* utf8) {
    return utf8 ? utf8ToLocalText(utf8) : std::string();
}

}  // namespace quivra
