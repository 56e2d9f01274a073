#include "platform/win32/Api.h"

#include "platform/Text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace win32 {

namespace {
HKEY Key(Handle key) {
    return static_cast<HKEY>(key);
}
DWORD* Out(Dword* value) {
    static_assert(sizeof(DWORD) == sizeof(Dword));
    return reinterpret_cast<DWORD*>(value);
}
} // namespace

Handle RootKey(bool currentUser) {
    return currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

namespace {

// The client is a 32-bit program: what it and its installer keep machine-wide lies in the
// registry's 32-bit view, which a 64-bit program asks for by name.
bool MachineWide(Handle key) {
    return Key(key) == HKEY_LOCAL_MACHINE;
}

// Null stays null: the system reads it as "this key itself" (or "no name").
std::wstring Wide(const char* utf8) {
    return utf8 != nullptr ? text::ToWide(utf8) : std::wstring();
}
const wchar_t* OrNull(const char* utf8, const std::wstring& wide) {
    return utf8 != nullptr ? wide.c_str() : nullptr;
}

// Object names as long as a path may be (MAX_PATH) are refused, as the A calls refuse them and
// our other backend does, so that a name that works on one system works on the other.
bool TooLong(const std::wstring& name) {
    if (name.size() < MAX_PATH) {
        return false;
    }
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return true;
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The whole value, its text (UTF-16 in the registry) in UTF-8.
LSTATUS ReadValue(HKEY key, const wchar_t* name, DWORD* type, std::string* data) {
    std::string raw(256, '\0');
    for (int tries = 0;; ++tries) {
        auto size = static_cast<DWORD>(raw.size());
        const LSTATUS rc = ::RegQueryValueExW(key, name, nullptr, type,
                                              reinterpret_cast<BYTE*>(raw.data()), &size);
        if (rc == ERROR_MORE_DATA && tries < 8) {
            raw.resize(size);
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        raw.resize(size);
        *data = IsText(*type) ? text::Utf16LeToUtf8(raw) : raw;
        return ERROR_SUCCESS;
    }
}

// Hands a value out by the registry's size rules: with no buffer only its size, with one too
// small ERROR_MORE_DATA and the size needed, never a byte past the buffer.
LSTATUS Deliver(const std::string& value, std::uint8_t* data, Dword* cbData) {
    const auto size = static_cast<Dword>(value.size());
    if (cbData == nullptr) {
        return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }
    if (data != nullptr && *cbData < size) {
        *cbData = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) {
        value.copy(reinterpret_cast<char*>(data), size);
    }
    *cbData = size;
    return ERROR_SUCCESS;
}

LSTATUS CopyName(const std::wstring& wide, char* name, Dword capacity, Dword* length) {
    const std::string utf8 = text::FromWide(wide);
    if (name == nullptr || utf8.size() + 1 > capacity) {
        return ERROR_MORE_DATA;
    }
    utf8.copy(name, utf8.size());
    name[utf8.size()] = '\0';
    if (length != nullptr) {
        *length = static_cast<Dword>(utf8.size());
    }
    return ERROR_SUCCESS;
}

} // namespace

long OpenKey(Handle key, const char* subKey, Dword sam, Handle* out) {
    HKEY opened = nullptr;
    const std::wstring wide = Wide(subKey);
    LSTATUS rc = ERROR_FILE_NOT_FOUND;
    if (MachineWide(key)) {
        rc = ::RegOpenKeyExW(Key(key), OrNull(subKey, wide), 0, sam | KEY_WOW64_32KEY, &opened);
    }
    if (rc == ERROR_FILE_NOT_FOUND) {
        rc = ::RegOpenKeyExW(Key(key), OrNull(subKey, wide), 0, sam, &opened);
    }
    *out = opened;
    return rc;
}

long CreateKey(Handle key, const char* subKey, Dword sam, Handle* out, Dword* disposition) {
    HKEY opened = nullptr;
    // Found where OpenKey looks first; made where the client looks.
    if (MachineWide(key) && OpenKey(key, subKey, sam, out) == ERROR_SUCCESS) {
        if (disposition != nullptr) {
            *disposition = REG_OPENED_EXISTING_KEY;
        }
        return ERROR_SUCCESS;
    }
    const LSTATUS rc = ::RegCreateKeyExW(
        Key(key), Wide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
        MachineWide(key) ? sam | KEY_WOW64_32KEY : sam, nullptr, &opened, Out(disposition));
    *out = opened;
    return rc;
}

long CloseKey(Handle key) {
    return ::RegCloseKey(Key(key));
}

long EnumKey(Handle key, Dword index, char* name, Dword cchName) {
    wchar_t wide[256];
    DWORD length = 256;
    const LSTATUS rc =
        ::RegEnumKeyExW(Key(key), index, wide, &length, nullptr, nullptr, nullptr, nullptr);
    return rc != ERROR_SUCCESS ? rc : CopyName(std::wstring(wide, length), name, cchName, nullptr);
}

long EnumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type, std::uint8_t* data,
               Dword* cbData) {
    std::wstring wide(16384, L'\0');
    std::string raw(256, '\0');
    DWORD valueType = 0;
    for (int tries = 0;; ++tries) {
        auto length = static_cast<DWORD>(wide.size());
        auto size = static_cast<DWORD>(raw.size());
        const LSTATUS rc = ::RegEnumValueW(Key(key), index, wide.data(), &length, nullptr,
                                           &valueType, reinterpret_cast<BYTE*>(raw.data()), &size);
        if (rc == ERROR_MORE_DATA && tries < 8) {
            raw.resize(size);
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        wide.resize(length);
        raw.resize(size);
        break;
    }
    const LSTATUS named = CopyName(wide, name, *cchName, cchName);
    if (named != ERROR_SUCCESS) {
        return named;
    }
    if (type != nullptr) {
        *type = valueType;
    }
    return Deliver(IsText(valueType) ? text::Utf16LeToUtf8(raw) : raw, data, cbData);
}

long QueryValue(Handle key, const char* name, Dword* type, std::uint8_t* data, Dword* cbData) {
    DWORD valueType = 0;
    std::string value;
    const std::wstring wide = Wide(name);
    const LSTATUS rc = ReadValue(Key(key), OrNull(name, wide), &valueType, &value);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (type != nullptr) {
        *type = valueType;
    }
    return Deliver(value, data, cbData);
}

long SetValue(Handle key, const char* name, Dword type, const std::uint8_t* data, Dword cbData) {
    std::string value(reinterpret_cast<const char*>(data), data != nullptr ? cbData : 0);
    if (IsText(type)) {
        value = text::Utf8ToUtf16Le(value);
    }
    const std::wstring wide = Wide(name);
    return ::RegSetValueExW(Key(key), OrNull(name, wide), 0, type,
                            reinterpret_cast<const BYTE*>(value.data()),
                            static_cast<DWORD>(value.size()));
}

long DeleteValue(Handle key, const char* name) {
    const std::wstring wide = Wide(name);
    return ::RegDeleteValueW(Key(key), OrNull(name, wide));
}

long DeleteKey(Handle key, const char* subKey) {
    return ::RegDeleteKeyExW(Key(key), Wide(subKey).c_str(), MachineWide(key) ? KEY_WOW64_32KEY : 0,
                             0);
}

long DeleteTree(Handle key, const char* subKey) {
    if (!MachineWide(key) || subKey == nullptr) {
        const std::wstring wide = Wide(subKey);
        return ::RegDeleteTreeW(Key(key), OrNull(subKey, wide));
    }
    // What is below the key, in the view OpenKey finds it in, then the key itself.
    Handle opened = nullptr;
    LSTATUS rc = OpenKey(key, subKey, KEY_ALL_ACCESS, &opened);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    rc = ::RegDeleteTreeW(Key(opened), nullptr);
    ::RegCloseKey(Key(opened));
    if (rc == ERROR_SUCCESS) {
        rc = ::RegDeleteKeyExW(Key(key), Wide(subKey).c_str(), KEY_WOW64_32KEY, 0);
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = ::RegDeleteKeyExW(Key(key), Wide(subKey).c_str(), KEY_WOW64_64KEY, 0);
        }
    }
    return rc;
}

Handle NewEvent(bool manualReset, bool initialState, const char* name) {
    const std::wstring wide = Wide(name);
    if (TooLong(wide)) {
        return nullptr;
    }
    return ::CreateEventW(nullptr, manualReset, initialState, OrNull(name, wide));
}

Handle NewMutex(bool initialOwner, const char* name) {
    const std::wstring wide = Wide(name);
    if (TooLong(wide)) {
        return nullptr;
    }
    return ::CreateMutexW(nullptr, initialOwner, OrNull(name, wide));
}

Handle OpenExistingEvent(Dword access, const char* name) {
    const std::wstring wide = Wide(name);
    if (TooLong(wide)) {
        return nullptr;
    }
    return ::OpenEventW(access, FALSE, OrNull(name, wide));
}

bool CloseObject(Handle handle) {
    return ::CloseHandle(handle) != FALSE;
}

bool WaitForMutex(Handle mutex) {
    const DWORD rc = ::WaitForSingleObject(mutex, INFINITE);
    return rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

bool ReleaseMutex(Handle mutex) {
    return ::ReleaseMutex(mutex) != FALSE;
}

Dword LastError() {
    return ::GetLastError();
}

void SetLastError(Dword error) {
    ::SetLastError(error);
}

Dword TickCount() {
    return ::GetTickCount();
}

std::string ErrorText(Dword error, const std::string& subject) {
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, buffer, 512, nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L'.')) {
        --n;
    }
    std::string text =
        n > 0 ? text::FromWide(std::wstring_view(buffer, n)) : "error " + std::to_string(error);
    for (auto at = text.find("%1"); at != std::string::npos;
         at = text.find("%1", at + subject.size())) {
        text.replace(at, 2, subject);
    }
    return text;
}

} // namespace win32
