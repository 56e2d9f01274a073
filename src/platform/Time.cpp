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

std::string CTime::Format(const char* format) const {
    std::tm tm{};
    if (format == nullptr || !GetLocalTm(&tm)) {
        return {};
    }
    return FormatTimeC(format, tm);
}
