// CTime and CTimeSpan: whole seconds as signed 32-bit numbers, broken down in local time.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

class CTimeSpan {
public:
    constexpr CTimeSpan() = default;
    constexpr explicit CTimeSpan(std::int64_t seconds) : m_span(seconds) {}
    constexpr CTimeSpan(LONG days, int hours, int minutes, int seconds)
        : m_span(((static_cast<std::int64_t>(days) * 24 + hours) * 60 + minutes) * 60 + seconds) {}

    constexpr std::int64_t GetTotalSeconds() const { return m_span; }
    constexpr auto operator<=>(const CTimeSpan&) const = default;

private:
    // Kept wide so that differences of two 32-bit times never overflow; callers that store
    // a span check that it fits 32 bits.
    std::int64_t m_span = 0;
};

class CTime {
public:
    static constexpr std::int64_t kMin = INT32_MIN;
    static constexpr std::int64_t kMax = INT32_MAX;

    constexpr CTime() = default;
    constexpr explicit CTime(std::int32_t time) : m_time(time) {}
    // Local calendar fields (month 1-12); daylight saving -1 lets the C library decide.
    // A time that mktime cannot make, or that lies outside 32 bits, gives -1 like mktime.
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

    static CTime GetCurrentTime();
    // The time `seconds` later, or nothing when that leaves the 32-bit range.
    static std::optional<CTime> FromSeconds(std::int64_t seconds);

    constexpr std::int32_t GetTime() const { return m_time; }

    // Local-time breakdown; false when the C library cannot convert.
    bool GetLocalTm(std::tm* out) const;
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 = Sunday

    // strftime in the C locale on the local-time breakdown; empty when it cannot be broken down.
    std::string Format(const char* format) const;

    std::optional<CTime> Plus(CTimeSpan span) const {
        return FromSeconds(static_cast<std::int64_t>(m_time) + span.GetTotalSeconds());
    }
    constexpr CTimeSpan operator-(CTime other) const {
        return CTimeSpan(static_cast<std::int64_t>(m_time) - other.m_time);
    }
    constexpr auto operator<=>(const CTime&) const = default;

private:
    std::int32_t m_time = 0;
};
