#include <gtest/gtest.h>

#include <string>

#include "net/json_object.h"
#include "net/utf8_mending.h"

namespace quivra {
namespace {

struct MendCase {
    const char* name;
    std::string text;
    std::string mended;
};

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf8Mending, MendsOnlyWhatIsIllFormed) {
    const MendCase cases[] = {
        {"emoji, Korean, kana, beyond the BMP kept",
         "\"\xF0\x9F\x8E\xB5 \xEB\x85\xB8\xEB\x9E\x98 \xE3\x82\xAB \xF0\xA0\x80\x8B\"",
         "\"\xF0\x9F\x8E\xB5 \xEB\x85\xB8\xEB\x9E\x98 \xE3\x82\xAB \xF0\xA0\x80\x8B\""},
        {"a byte that is no UTF-8",
         "\"a\xFF"
         "b\"",
         "\"a" + kFffd + "b\""},
        {"a sequence cut before a quote", "\"a\xE6\xB5\"", "\"a" + kFffd + "\""},
        {"a sequence cut at the end", "\"a\xF0\x9F\x8E", "\"a" + kFffd},
        {"a lone continuation byte", "\x80x", kFffd + "x"},
        {"an overlong slash", "\xC0\xAF", kFffd + kFffd},
        {"an encoded surrogate", "\xED\xA0\x80", kFffd + kFffd + kFffd},
        {"past U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"a lone high surrogate escape", "\"\\ud83c x\"", "\"\\ufffd x\""},
        {"a high surrogate escape at the end of a string", "\"x\\uD83C\"", "\"x\\ufffd\""},
        {"a lone low surrogate escape", "\"\\udfb5\"", "\"\\ufffd\""},
        {"two high surrogate escapes", "\"\\ud83c\\ud83c\\udfb5\"", "\"\\ufffd\\ud83c\\udfb5\""},
        {"a surrogate pair kept", "\"\\ud83c\\udfb5\"", "\"\\ud83c\\udfb5\""},
        {"an escaped backslash before u", "\"\\\\ud83c\"", "\"\\\\ud83c\""},
        {"an escaped quote keeps the string open", "\"\\\"\\ud83c\"", "\"\\\"\\ufffd\""},
        {"escapes outside strings left to the reader", "\\ud83c", "\\ud83c"},
    };
    for (const MendCase& c : cases) {
        EXPECT_EQ(mendUtf8Json(c.text), c.mended) << c.name;
    }
}

TEST(Utf8Mending, AnswerWithBrokenTextsReadsWhole) {
    const std::string answer =
        "{\"data\":{\"part\":\"\\ud83c a\xFF"
        "b \xE6\xB5\",\"title\":\"\xF0\x9F\x8E\xB5 "
        "\xEB\x85\xB8\"}}";
    JsonObject json;
    ASSERT_TRUE(json.parseUtf8(answer));
    EXPECT_EQ(json.getUtf8("data.part"), kFffd + " a" + kFffd + "b " + kFffd);
    EXPECT_EQ(json.getUtf8("data.title"), "\xF0\x9F\x8E\xB5 \xEB\x85\xB8");
    EXPECT_EQ(json.getUtf8("data.missing"), "");
}

}  // namespace
}  // namespace quivra
