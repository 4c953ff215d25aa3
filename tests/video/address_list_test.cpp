#include "video/address_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/text_encoding.h"

namespace quivra {
namespace {

std::vector<std::string> split(const char* utf8) {
    std::vector<std::string> addresses;
    for (const std::string& local : splitAddresses(localText(utf8))) {
        addresses.push_back(localToUtf8(local));
    }
    return addresses;
}

TEST(SplitAddresses, AnySeparatorAndEachVideoOnce) {
    struct Case {
        const char* text;
        std::vector<std::string> addresses;
    };
    const Case cases[] = {
        {"", {}},
        {" ,\n；、　", {}},
        {"BV1xx411c7mD BV17x411w7KC", {"BV1xx411c7mD", "BV17x411w7KC"}},
        {"BV1xx411c7mD,BV17x411w7KC;BV1Tr411c7Tp\r\nav3\tav4",
         {"BV1xx411c7mD", "BV17x411w7KC", "BV1Tr411c7Tp", "av3", "av4"}},
        {"BV1xx411c7mD，BV17x411w7KC、BV1Tr411c7Tp；av3　av4",
         {"BV1xx411c7mD", "BV17x411w7KC", "BV1Tr411c7Tp", "av3", "av4"}},
        // An av number and its BV identifier, an address and its bare identifier: one video.
        {"av2 BV1xx411c7mD https://www.quivra.com/video/BV1xx411c7mD/?p=1", {"av2"}},
        {"https://www.quivra.com/video/BV17x411w7KC\nBV17x411w7KC",
         {"https://www.quivra.com/video/BV17x411w7KC"}},
        // Text naming no video is kept, once, for its parse to refuse.
        {"视频 视频 BV1xx411c7mD", {"视频", "BV1xx411c7mD"}},
        // Chinese text beside an identifier stays one piece.
        {"视频BV1xx411c7mD，看看", {"视频BV1xx411c7mD", "看看"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split(c.text), c.addresses) << c.text;
    }
}

}  // namespace
}  // namespace quivra
