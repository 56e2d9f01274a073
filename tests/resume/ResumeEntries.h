// Writing resume entries the way the helper programs do, for the tests.
#pragma once

#include "platform/registry/Registry.h"
#include "resume/TransferResumeDB.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace resume_test {

inline std::vector<BYTE> Record(DWORD first, std::size_t size = TRANSFERDATA::kSize) {
    std::vector<BYTE> bytes(size, 0xAB);
    for (std::size_t i = 0; i < 4 && i < size; ++i) {
        bytes[i] = static_cast<BYTE>(first >> (8 * i));
    }
    return bytes;
}

struct Entry {
    std::optional<DWORD> version = 2;
    std::optional<DWORD> dataSize = 800;
    std::optional<std::vector<BYTE>> data = Record(1);
};

inline void WriteEntry(const std::string& name, const Entry& entry) {
    CRegKey key;
    const std::string path = std::string(CTransferResumeDB::kKeyPath) + "\\" + name;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS) << name;
    auto setDword = [&](const char* value, DWORD number) {
        const BYTE le[4] = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                            static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
        ASSERT_EQ(RegSetValueExA(key.Get(), value, 0, REG_DWORD, le, 4), ERROR_SUCCESS);
    };
    if (entry.version) {
        setDword("DBVER", *entry.version);
    }
    if (entry.dataSize) {
        setDword("DataSize", *entry.dataSize);
    }
    if (entry.data) {
        ASSERT_EQ(RegSetValueExA(key.Get(), "Data", 0, REG_BINARY, entry.data->data(),
                                 static_cast<DWORD>(entry.data->size())),
                  ERROR_SUCCESS);
    }
}

inline void WriteEntry(int id, DWORD first) {
    WriteEntry(std::to_string(id), Entry{2, 800, Record(first)});
}

// The subkey names now in the database, in enumeration order.
inline std::vector<std::string> EntryNames() {
    std::vector<std::string> names;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, CTransferResumeDB::kKeyPath, KEY_READ) != ERROR_SUCCESS) {
        return names;
    }
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key.Get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        names.emplace_back(name);
    }
    return names;
}

} // namespace resume_test
