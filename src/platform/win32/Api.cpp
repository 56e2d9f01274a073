#include "platform/win32/Api.h"

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

long OpenKey(Handle key, const char* subKey, Dword sam, Handle* out) {
    HKEY opened = nullptr;
    const LSTATUS rc = ::RegOpenKeyExA(Key(key), subKey, 0, sam, &opened);
    *out = opened;
    return rc;
}

long CreateKey(Handle key, const char* subKey, Dword sam, Handle* out, Dword* disposition) {
    HKEY opened = nullptr;
    const LSTATUS rc = ::RegCreateKeyExA(Key(key), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, sam,
                                         nullptr, &opened, Out(disposition));
    *out = opened;
    return rc;
}

long CloseKey(Handle key) {
    return ::RegCloseKey(Key(key));
}

long EnumKey(Handle key, Dword index, char* name, Dword cchName) {
    return ::RegEnumKeyA(Key(key), index, name, cchName);
}

long EnumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type, std::uint8_t* data,
               Dword* cbData) {
    return ::RegEnumValueA(Key(key), index, name, Out(cchName), nullptr, Out(type), data,
                           Out(cbData));
}

long QueryValue(Handle key, const char* name, Dword* type, std::uint8_t* data, Dword* cbData) {
    return ::RegQueryValueExA(Key(key), name, nullptr, Out(type), data, Out(cbData));
}

long SetValue(Handle key, const char* name, Dword type, const std::uint8_t* data, Dword cbData) {
    return ::RegSetValueExA(Key(key), name, 0, type, data, cbData);
}

long DeleteValue(Handle key, const char* name) {
    return ::RegDeleteValueA(Key(key), name);
}

long DeleteKey(Handle key, const char* subKey) {
    return ::RegDeleteKeyA(Key(key), subKey);
}

long DeleteTree(Handle key, const char* subKey) {
    return ::RegDeleteTreeA(Key(key), subKey);
}

Handle NewEvent(bool manualReset, bool initialState, const char* name) {
    return ::CreateEventA(nullptr, manualReset, initialState, name);
}

Handle NewMutex(bool initialOwner, const char* name) {
    return ::CreateMutexA(nullptr, initialOwner, name);
}

Handle OpenExistingEvent(Dword access, const char* name) {
    return ::OpenEventA(access, FALSE, name);
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
    char buffer[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, buffer, sizeof buffer, nullptr);
    while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == '.')) {
        --n;
    }
    std::string text = n > 0 ? std::string(buffer, n) : "error " + std::to_string(error);
    for (auto at = text.find("%1"); at != std::string::npos;
         at = text.find("%1", at + subject.size())) {
        text.replace(at, 2, subject);
    }
    return text;
}

} // namespace win32
