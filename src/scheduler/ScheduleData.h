// SCHEDULEDATA: the 32-byte schedule record shared with the client, eight little-endian
// 32-bit fields. It is converted field by field, never by copying memory.
#pragma once

#include "platform/Types.h"

#include <array>
#include <cstdint>

struct SCHEDULEDATA {
    static constexpr std::size_t kSize = 32;

    std::int32_t timeStart = 0;   // offset 0
    std::int32_t timeEnd = 0;     // offset 4
    std::int32_t timeLastRun = 0; // offset 8: the anchor
    std::int32_t bOnce = 0;       // offset 12
    std::int32_t bEndDate = 0;    // offset 16
    std::int32_t bDisabled = 0;   // offset 20
    std::int32_t nCount = 0;      // offset 24
    std::int32_t nUnit = 0;       // offset 28

    std::array<BYTE, kSize> ToBytes() const;
    // Reads exactly kSize bytes.
    static SCHEDULEDATA FromBytes(const BYTE* bytes);
};
