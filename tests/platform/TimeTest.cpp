#include "platform/Time.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Runs a test in a fixed time zone and restores the previous one after.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* tz = std::getenv("TZ");
        m_had = tz != nullptr;
        m_saved = m_had ? tz : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (m_had) {
            setenv("TZ", m_saved.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    bool m_had;
    std::string m_saved;
};

// Central European time written as a POSIX rule, so the test needs no zone database.
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(TimeTest, BreaksDownInTheLocalZone) {
    ZoneGuard zone(kBerlin);
    const CTime epoch(0);
    EXPECT_EQ(epoch.GetYear(), 1970);
    EXPECT_EQ(epoch.GetMonth(), 1);
    EXPECT_EQ(epoch.GetDay(), 1);
    EXPECT_EQ(epoch.GetHour(), 1);
    EXPECT_EQ(epoch.GetDayOfWeek(), 5); // Thursday, 1 = Sunday

    // 2024-07-01 12:00:00 UTC is 14:00 summer time.
    const CTime summer(1719835200);
    EXPECT_EQ(summer.GetHour(), 14);
    EXPECT_EQ(summer.Format("%Y-%m-%d %H:%M:%S"), "2024-07-01 14:00:00");
    EXPECT_EQ(CTime(2024, 7, 1, 14, 0, 0), summer);
    EXPECT_EQ(CTime(2024, 1, 15, 10, 30, 5).Format("%H:%M:%S"), "10:30:05");

    // Before 1970 the count is negative and still breaks down.
    const CTime before(-86400);
    EXPECT_EQ(before.GetYear(), 1969);
    EXPECT_EQ(before.GetDay(), 31);
}

TEST(TimeTest, DaylightSavingIsLeftToTheCLibrary) {
    ZoneGuard zone(kBerlin);
    // 02:30 on the spring-forward day does not exist; the library moves it an hour on.
    const CTime gap(2024, 3, 31, 2, 30, 0);
    EXPECT_EQ(gap.GetHour(), 3);
    // Days either side of the change are 23 and 25 hours long.
    EXPECT_EQ((CTime(2024, 4, 1, 0, 0, 0) - CTime(2024, 3, 31, 0, 0, 0)).GetTotalSeconds(),
              23 * 3600);
    EXPECT_EQ((CTime(2024, 10, 28, 0, 0, 0) - CTime(2024, 10, 27, 0, 0, 0)).GetTotalSeconds(),
              25 * 3600);
}

TEST(TimeTest, FormatsInTheCLocaleWhateverTheProcessLocale) {
    ZoneGuard zone("UTC0");
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        std::setlocale(LC_ALL, name);
        EXPECT_EQ(CTime(0).Format("%a %b %d %p"), "Thu Jan 01 AM") << name;
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(CTime(0).Format(""), "");
    EXPECT_EQ(CTime(0).Format(nullptr), "");
    // Longer than the formatting buffer: empty rather than cut.
    EXPECT_EQ(CTime(0).Format(std::string(300, 'x').c_str()), "");
}

TEST(TimeTest, TimesOutsideThirtyTwoBitsAreRefused) {
    ZoneGuard zone("UTC0");
    EXPECT_EQ(CTime(2038, 1, 19, 3, 14, 7).GetTime(), INT32_MAX);
    EXPECT_EQ(CTime(2038, 1, 19, 3, 14, 8).GetTime(), -1);
    EXPECT_EQ(CTime(1901, 12, 13, 20, 45, 52).GetTime(), INT32_MIN);
    EXPECT_EQ(CTime(1800, 1, 1, 0, 0, 0).GetTime(), -1);

    EXPECT_FALSE(CTime::FromSeconds(static_cast<std::int64_t>(INT32_MAX) + 1));
    EXPECT_FALSE(CTime::FromSeconds(static_cast<std::int64_t>(INT32_MIN) - 1));
    EXPECT_FALSE(CTime(INT32_MAX).Plus(CTimeSpan(1)));
    EXPECT_EQ(CTime(INT32_MAX - 60).Plus(CTimeSpan(0, 0, 1, 0))->GetTime(), INT32_MAX);
    EXPECT_EQ((CTime(INT32_MIN) - CTime(INT32_MAX)).GetTotalSeconds(),
              static_cast<std::int64_t>(INT32_MIN) - INT32_MAX);
    EXPECT_EQ(CTimeSpan(1, 2, 3, 4).GetTotalSeconds(), 93784);
}

TEST(TimeTest, NowAndTicksComeFromTheClockInForce) {
    CFakeClock clock(1700000000, 4294967000u);
    {
        ScopedClock use(clock);
        EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 1700000000);
        clock.Advance(61);
        EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 1700000061);
        clock.AdvanceTicks(500);
        EXPECT_EQ(GetTickCount(), 204u); // wraps like the system tick count
        CFakeClock inner(static_cast<std::int64_t>(INT32_MAX) + 100);
        {
            ScopedClock nested(inner);
            EXPECT_EQ(CTime::GetCurrentTime().GetTime(), INT32_MAX);
        }
        EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 1700000061);
    }
    const std::int64_t real = std::time(nullptr);
    EXPECT_LE(std::abs(CTime::GetCurrentTime().GetTime() - real), 2);
}

} // namespace
