// Reading and writing raw values in tests, with exactly sized buffers.
#pragma once

#include "platform/registry/Registry.h"

#include <string>
#include <vector>

inline LSTATUS SetBytes(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

// The value's type and bytes, read with an exactly sized buffer.
inline LSTATUS GetBytes(HKEY key, const char* name, DWORD* type, std::string* bytes) {
    DWORD size = 0;
    LSTATUS rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    bytes->assign(size, '\0');
    rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes->data()), &size);
    bytes->resize(size);
    return rc;
}

inline std::vector<std::string> Subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[kMaxRegNameBytes + 1];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        names.emplace_back(name);
    }
    return names;
}

inline std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    std::vector<char> name(kMaxRegValueNameBytes + 1);
    for (DWORD i = 0;; ++i) {
        auto length = static_cast<DWORD>(name.size());
        if (RegEnumValueA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name.data(), length);
    }
    return names;
}
