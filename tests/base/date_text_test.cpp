#include "base/date_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace quivra {
namespace {

// Sets an environment variable for the scope of a test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
        tzset();
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
        tzset();
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// 2021-03-05 14:07:09 at UTC+8.
constexpr const char* kMarchFifth = "1614924429";

TEST(LocaleClock, FollowsTheEnvironmentsTimeLocale) {
    {
        ScopedEnv all("LC_ALL", "C.UTF-8");
        EXPECT_TRUE(localeUses24HourClock());
    }
    {
        ScopedEnv all("LC_ALL", "en_US.UTF-8");
        EXPECT_FALSE(localeUses24HourClock());
    }
    {
        // LC_ALL wins over LC_TIME, LC_TIME over LANG.
        ScopedEnv all("LC_ALL", "");
        ScopedEnv time("LC_TIME", "en_US.UTF-8");
        ScopedEnv lang("LANG", "C.UTF-8");
        EXPECT_FALSE(localeUses24HourClock());
    }
    {
        ScopedEnv all("LC_ALL", "no_SUCH.locale");
        EXPECT_TRUE(localeUses24HourClock());
    }
}

TEST(TimestampToDate, SecondsAreShownAtUtc8WhateverTheZone) {
    ScopedEnv locale("LC_ALL", "C.UTF-8");
    for (const char* zone : {"UTC0", "CST-8", "EST5EDT", "XYZ-13"}) {
        ScopedEnv tz("TZ", zone);
        EXPECT_EQ(timestampToDate(kMarchFifth), "2021-03-05 14:07:09") << zone;
    }
    // The day turns at 16:00 UTC.
    EXPECT_EQ(timestampToDate("1614960000"), "2021-03-06 00:00:00");
    EXPECT_EQ(timestampToDate("0000000000"), "1970-01-01 08:00:00");
    EXPECT_EQ(timestampToDate("9999999999"), "2286-11-21 01:46:39");
    EXPECT_EQ(timestampToDate("-161492442"), "1964-11-19 04:59:18");
}

TEST(TimestampToDate, TwelveHourLocaleUsesHoursOneToTwelveWithoutMarker) {
    ScopedEnv locale("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(timestampToDate(kMarchFifth), "2021-03-05 02:07:09");
    EXPECT_EQ(timestampToDate("1614960000"), "2021-03-06 12:00:00");  // midnight
    EXPECT_EQ(timestampToDate("1614916800"), "2021-03-05 12:00:00");  // noon
}

TEST(TimestampToDate, MillisecondsAreShownInLocalTimeWithoutLeadingZeros) {
    {
        ScopedEnv tz("TZ", "CST-8");
        EXPECT_EQ(timestampToDate("0"), "1970-1-1 08:00:00");
        EXPECT_EQ(timestampToDate("1614924429000"), "2021-3-5 14:07:09");
        EXPECT_EQ(timestampToDate("1614924429999"), "2021-3-5 14:07:09");
    }
    {
        ScopedEnv tz("TZ", "EST5");
        EXPECT_EQ(timestampToDate("0"), "1969-12-31 19:00:00");
        EXPECT_EQ(timestampToDate("1614924429000"), "2021-3-5 01:07:09");
        EXPECT_EQ(timestampToDate("-1"), "1969-12-31 18:59:59");
    }
    {
        // The clock is not affected by a 12-hour locale on this path.
        ScopedEnv tz("TZ", "UTC0");
        ScopedEnv locale("LC_ALL", "en_US.UTF-8");
        EXPECT_EQ(timestampToDate("1614924429000"), "2021-3-5 06:07:09");
    }
}

TEST(TimestampToDate, UnusableInputGivesEmptyText) {
    ScopedEnv tz("TZ", "UTC0");
    EXPECT_EQ(timestampToDate(""), "");
    EXPECT_EQ(timestampToDate("abcdefghij"), "");
    EXPECT_EQ(timestampToDate("16149244 9"), "");
    EXPECT_EQ(timestampToDate("--16149244"), "");
    EXPECT_EQ(timestampToDate("12x"), "");
    EXPECT_EQ(timestampToDate("1.5"), "");
    EXPECT_EQ(timestampToDate("-"), "");
    EXPECT_EQ(timestampToDate("99999999999999999999999"), "");
    EXPECT_EQ(timestampToDate("8640000000000001"), "");
    EXPECT_EQ(timestampToDate("-8640000000000001"), "");
    EXPECT_EQ(timestampToDate("8640000000000000"), "275760-9-13 00:00:00");
}

}  // namespace
}  // namespace quivra
