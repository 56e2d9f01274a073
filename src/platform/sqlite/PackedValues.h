// A key's values packed into one block, as the store's cache holds them: a pass over thousands
// of keys then touches one allocation per key instead of two per value.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace registry {

class PackedValues {
public:
    // Appends one value: its header (name length, type, data length), then name and data.
    void Add(std::string_view name, DWORD type, const BYTE* data, std::size_t size) {
        const Header header{static_cast<std::uint32_t>(name.size()), type,
                            static_cast<std::uint32_t>(size)};
        m_bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
        m_bytes.append(name);
        if (size > 0) {
            m_bytes.append(reinterpret_cast<const char*>(data), size);
        }
        ++m_count;
    }
    bool Empty() const { return m_count == 0; }
    std::size_t Bytes() const { return m_bytes.capacity(); }

    // Calls f(name, type, data, size) for each value in the order they were added.
    template <typename F> void ForEach(F&& f) const {
        const char* p = m_bytes.data();
        const char* end = p + m_bytes.size();
        while (p < end) {
            Header header;
            std::memcpy(&header, p, sizeof header);
            p += sizeof header;
            const std::string_view name(p, header.nameSize);
            p += header.nameSize;
            f(name, static_cast<DWORD>(header.type), reinterpret_cast<const BYTE*>(p),
              static_cast<DWORD>(header.dataSize));
            p += header.dataSize;
        }
    }

private:
    struct Header {
        std::uint32_t nameSize;
        std::uint32_t type;
        std::uint32_t dataSize;
    };
    std::string m_bytes;
    std::size_t m_count = 0;
};

} // namespace registry
