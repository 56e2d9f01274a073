// Named events and mutexes that other processes of the same user can see.
//
// An object exists exactly while some process holds a handle to it; a holder that dies, even
// by SIGKILL, leaves nothing behind. Creating reports "already exists" atomically, and probing
// by open never creates. As with the kernel's objects, events and mutexes share one namespace,
// names are told apart by case and are shorter than 260 characters, and an empty name makes an
// object nobody else can open. Objects live per user in $XDG_RUNTIME_DIR/quorvel-objects, or,
// without that variable, in ${TMPDIR:-/tmp}/quorvel-objects-<uid>. Either folder must be the user's
// own and closed to others; anything else is refused rather than trusted.
#pragma once

#include "platform/Types.h"

#include <string>

struct NamedObject;
using HANDLE = NamedObject*;

constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILE_NOT_FOUND_OBJECT = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED_OBJECT = 5;
constexpr DWORD ERROR_INVALID_HANDLE_OBJECT = 6; // the name belongs to the other kind
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD EVENT_ALL_ACCESS = 0x1F0003;
// All a probe of whether an event exists asks for: an event made by an elevated program refuses
// anything more to the rest.
constexpr DWORD SYNCHRONIZE = 0x00100000;

// The error of the last named-object call on this thread.
DWORD GetLastError();

// Creates or opens the event. Null on failure; otherwise GetLastError() is ERROR_ALREADY_EXISTS
// when another handle already held it, 0 when this call made it.
HANDLE CreateEventA(void* lpSecurity, BOOL bManualReset, BOOL bInitialState, const char* lpName);
HANDLE CreateMutexA(void* lpSecurity, BOOL bInitialOwner, const char* lpName);
// Opens an existing event; null when it does not exist (nothing is created).
HANDLE OpenEventA(DWORD dwDesiredAccess, BOOL bInheritHandle, const char* lpName);
BOOL CloseHandle(HANDLE hObject);

// The folder that holds the objects, or empty with a reason when none can be trusted.
std::string NamedObjectFolder(std::string* whyNot = nullptr);

// RAII owner of a handle.
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.m_h) { other.m_h = nullptr; }
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = other.m_h;
            other.m_h = nullptr;
        }
        return *this;
    }
    void Close() {
        if (m_h != nullptr) {
            CloseHandle(m_h);
            m_h = nullptr;
        }
    }
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HANDLE m_h = nullptr;
};
