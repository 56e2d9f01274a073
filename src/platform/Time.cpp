#include "platform/Time.h"

#include "platform/Clock.h"
#include "platform/SystemTime.h"

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = dst;
    const std::time_t t = std::mktime(&tm);
    const auto value = static_cast<std::int64_t>(t);
    m_time = (value < kMin || value > kMax) ? -1 : static_cast<std::int32_t>(value);
}

CTime CTime::GetCurrentTime() {
    const std::int64_t now = CurrentClock().Now();
    if (now > kMax) {
        return CTime(static_cast<std::int32_t>(kMax));
    }
    if (now < kMin) {
        return CTime(static_cast<std::int32_t>(kMin));
    }
    return CTime(static_cast<std::int32_t>(now));
}

std::optional<CTime> CTime::FromSeconds(std::int64_t seconds) {
    if (seconds < kMin || seconds > kMax) {
        return std::nullopt;
    }
    return CTime(static_cast<std::int32_t>(seconds));
}

bool CTime::GetLocalTm(std::tm* out) const {
    return LocalTime(m_time, out);
}

namespace {
template <typename Field> int LocalField(const CTime& time, Field field) {
    std::tm tm{};
    return time.GetLocalTm(&tm) ? field(tm) : 0;
}
} // namespace

int CTime::GetYear() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_year + 1900; });
}
int CTime::GetMonth() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_mon + 1; });
}
int CTime::GetDay() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_mday; });
}
int CTime::GetHour() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_hour; });
}
int CTime::GetMinute() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_min; });
}
int CTime::GetSecond() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_sec; });
}
int CTime::GetDayOfWeek() const {
    return LocalField(*this, [](const std::tm& tm) { return tm.tm_wday + 1; });
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string Padded(int value, char pad = '0') {
    return std::string(1, value < 10 ? pad : static_cast<char>('0' + value / 10 % 10)) +
           static_cast<char>('0' + value % 10);
}

constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

} // namespace

// Our own formatting, in English whatever the user's settings, the same on every system: the C
// runtime of Windows writes a zone's name for %z, not its offset.
std::string CTime::Format(const char* format) const {
    std::tm tm{};
    if (format == nullptr || !GetLocalTm(&tm)) {
        return {};
    }
    std::string out;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        const int hour12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
        switch (*++p) {
        case 'Y':
            out += std::to_string(tm.tm_year + 1900);
            break;
        case 'y':
            out += Padded((tm.tm_year + 1900) % 100);
            break;
        case 'm':
            out += Padded(tm.tm_mon + 1);
            break;
        case 'd':
            out += Padded(tm.tm_mday);
            break;
        case 'e':
            out += Padded(tm.tm_mday, ' ');
            break;
        case 'H':
            out += Padded(tm.tm_hour);
            break;
        case 'I':
            out += Padded(hour12);
            break;
        case 'M':
            out += Padded(tm.tm_min);
            break;
        case 'S':
            out += Padded(tm.tm_sec);
            break;
        case 'p':
            out += tm.tm_hour < 12 ? "AM" : "PM";
            break;
        case 'A':
            out += kDays[tm.tm_wday];
            break;
        case 'a':
            out += std::string(kDays[tm.tm_wday], 3);
            break;
        case 'B':
            out += kMonths[tm.tm_mon];
            break;
        case 'b':
            out += std::string(kMonths[tm.tm_mon], 3);
            break;
        case 'c':
            out += Format("%a %b %e %H:%M:%S %Y");
            break;
        case 'z': {
            // The local time read as if it were UTC, less the time itself: the offset in force.
            const std::int64_t local =
                DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400 +
                tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
            const std::int64_t offset = (local - m_time) / 60;
            const auto minutes = static_cast<int>(offset < 0 ? -offset : offset);
            // Appended piece by piece: GCC 12 at -O3 takes "-" + std::string for an
            // overlapping copy (-Werror=restrict).
            out += offset < 0 ? '-' : '+';
            out += Padded(minutes / 60);
            out += Padded(minutes % 60);
            break;
        }
        case '%':
            out += '%';
            break;
        default:
            out += '%';
            out += *p;
        }
    }
    // As strftime with its buffer of 256: a format that long is a mistake, not a time.
    return out.size() < 256 ? out : std::string();
}
