#include "scheduler/ScheduleData.h"

namespace {

void PutLE32(BYTE* out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    out[0] = static_cast<BYTE>(bits);
    out[1] = static_cast<BYTE>(bits >> 8);
    out[2] = static_cast<BYTE>(bits >> 16);
    out[3] = static_cast<BYTE>(bits >> 24);
}

std::int32_t GetLE32(const BYTE* in) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
        (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
    return static_cast<std::int32_t>(bits); // two's complement, well defined since C++20
}

} // namespace

std::array<BYTE, SCHEDULEDATA::kSize> SCHEDULEDATA::ToBytes() const {
    std::array<BYTE, kSize> bytes{};
    PutLE32(&bytes[0], timeStart);
    PutLE32(&bytes[4], timeEnd);
    PutLE32(&bytes[8], timeLastRun);
    PutLE32(&bytes[12], bOnce);
    PutLE32(&bytes[16], bEndDate);
    PutLE32(&bytes[20], bDisabled);
    PutLE32(&bytes[24], nCount);
    PutLE32(&bytes[28], nUnit);
    return bytes;
}

SCHEDULEDATA SCHEDULEDATA::FromBytes(const BYTE* bytes) {
    SCHEDULEDATA data;
    data.timeStart = GetLE32(bytes + 0);
    data.timeEnd = GetLE32(bytes + 4);
    data.timeLastRun = GetLE32(bytes + 8);
    data.bOnce = GetLE32(bytes + 12);
    data.bEndDate = GetLE32(bytes + 16);
    data.bDisabled = GetLE32(bytes + 20);
    data.nCount = GetLE32(bytes + 24);
    data.nUnit = GetLE32(bytes + 28);
    return data;
}
