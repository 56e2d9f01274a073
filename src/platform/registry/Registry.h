// A registry shaped like the calls the Monitor and its sibling programs make: keys with
// case-insensitive names under two roots, typed values stored byte-exact.
//
// Backends: on Windows the system registry itself (win32/Registry.cpp); elsewhere one SQLite
// file per root, shared by every process of the user (sqlite/Store.h).
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct RegKey;
using HKEY = RegKey*;
using LSTATUS = long;
using REGSAM = DWORD;

extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;
constexpr LSTATUS ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The registry's limits, counted as it counts them, in UTF-16 units of the name: a key name (one
// part of a path) of at most 255, a value name of at most 16,383, and keys at most 512 levels
// below a root. Names are UTF-8 here, at most three bytes a unit: the buffers names are listed
// into hold the ...Bytes and a terminator.
constexpr std::size_t kMaxRegNameLength = 255;
constexpr std::size_t kMaxRegValueNameLength = 16383;
constexpr std::size_t kMaxRegNameBytes = 3 * kMaxRegNameLength;
constexpr std::size_t kMaxRegValueNameBytes = 3 * kMaxRegValueNameLength;
constexpr std::size_t kMaxRegKeyDepth = 512;

// Opens an existing key. A trailing backslash does not change the key; an empty or null
// subkey opens the key itself again.
LSTATUS RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      HKEY* phkResult);
// Opens a key, creating it and any missing parents in one transaction.
LSTATUS RegCreateKeyExA(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult,
                        DWORD* lpdwDisposition);
LSTATUS RegCloseKey(HKEY hKey);

// The name of the subkey at `dwIndex` in case-insensitive name order, zero-terminated into a
// buffer of `cchName` characters. ERROR_MORE_DATA when the name does not fit, never an overrun;
// ERROR_NO_MORE_ITEMS past the end.
LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);

// Values at `dwIndex` in case-insensitive name order; sizes as for RegQueryValueExA, the name
// buffer in characters (in: capacity, out: length without the terminator).
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                      DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Reads a value. With lpData null only the type and size are reported. When the buffer is too
// small, *lpcbData receives the size needed and ERROR_MORE_DATA is returned; nothing is written
// past the buffer.
LSTATUS RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData);
// Opens `lpSubKey` below the key, queries the value and closes again, in one step (the
// profile's reads, which happen often). Results as for RegOpenKeyExA and RegQueryValueExA.
LSTATUS RegQueryValueAtA(HKEY hKey, const char* lpSubKey, const char* lpValueName, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData);
// One value as the store holds it; valid only during the call it is handed to.
struct RegValueView {
    std::string_view name;
    DWORD type;
    const BYTE* data;
    DWORD size;
};
using RegValueVisitor = std::function<void(const RegValueView&)>;
// Hands every value of `lpSubKey` below the key to `visit`, in enumeration order, without
// copying them out first (a pass over thousands of entries would copy each one twice).
// `visit` must not call the registry. ERROR_MORE_DATA when the key could not be listed to its
// end (a value kept growing while it was read): what was not handed over is not absent.
LSTATUS RegVisitValuesA(HKEY hKey, const char* lpSubKey, const RegValueVisitor& visit);
LSTATUS RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);
LSTATUS RegDeleteValueA(HKEY hKey, const char* lpValueName);

// Deletes a subkey that has no subkeys of its own (its values go with it).
LSTATUS RegDeleteKeyA(HKEY hKey, const char* lpSubKey);
// Deletes a subkey with everything below it, in one transaction.
LSTATUS RegDeleteTreeA(HKEY hKey, const char* lpSubKey);

// Several changes to one root as one, for writers that must never leave half an entry: begin,
// change, then commit or roll back. Calls nest; the outermost commit decides. (Not a call of
// the system registry, which has no transactions: there the changes are serialised against
// our other programs, and a rollback cannot take back what was already written.)
LSTATUS RegBeginTransaction(HKEY root);
LSTATUS RegCommitTransaction(HKEY root);
void RegRollbackTransaction(HKEY root);

// Many reads of one root from a single snapshot, taking no lock a writer waits for and waiting
// for none: a program holding a long write neither stalls them nor is stalled by them. Calls
// nest, and inside a write transaction they simply join it; nothing may be written inside one
// that is not (end it first). (On the system registry each read stands alone.)
LSTATUS RegBeginReadTransaction(HKEY root);
void RegEndReadTransaction(HKEY root);

// Lets go of this process's connections to the store; the next call opens them again from the
// current environment (tests point a process at a private store this way).
void RegCloseStores();
// Where a root's data lives, for messages ("the store /path/user.db", "the system registry").
std::string RegStoreLocation(HKEY root);
// Why a root's data, once asked for, turned out unusable, so that it answers as an empty store
// (a damaged file, say); empty while it is fine. An empty answer then proves nothing missing.
std::string RegStoreProblem(HKEY root);
// "<location>: <why>" for the last change to the root that was not saved, to tell the user.
std::string RegLastFailure(HKEY root);

// A transaction on one root that is rolled back unless committed.
class CRegTransaction {
public:
    explicit CRegTransaction(HKEY root) : m_root(root), m_started(RegBeginTransaction(root)) {}
    ~CRegTransaction() {
        if (m_started == ERROR_SUCCESS && !m_done) {
            RegRollbackTransaction(m_root);
        }
    }
    CRegTransaction(const CRegTransaction&) = delete;
    CRegTransaction& operator=(const CRegTransaction&) = delete;
    LSTATUS Started() const { return m_started; }
    LSTATUS Commit() {
        m_done = true;
        return m_started == ERROR_SUCCESS ? RegCommitTransaction(m_root) : m_started;
    }

private:
    HKEY m_root;
    LSTATUS m_started;
    bool m_done = false;
};

// A read transaction (see RegBeginReadTransaction) from construction or Begin() to End() or
// destruction; Begin and End may be called again to let a writer in between.
class CRegReadTransaction {
public:
    explicit CRegReadTransaction(HKEY root) : m_root(root) { Begin(); }
    ~CRegReadTransaction() { End(); }
    CRegReadTransaction(const CRegReadTransaction&) = delete;
    CRegReadTransaction& operator=(const CRegReadTransaction&) = delete;
    void Begin() {
        // Without one every read simply stands alone.
        if (!m_open) {
            m_open = RegBeginReadTransaction(m_root) == ERROR_SUCCESS;
        }
    }
    void End() {
        if (m_open) {
            RegEndReadTransaction(m_root);
            m_open = false;
        }
    }

private:
    HKEY m_root;
    bool m_open = false;
};

// RAII owner of an opened key.
class CRegKey {
public:
    CRegKey() = default;
    explicit CRegKey(HKEY hKey) : m_hKey(hKey) {}
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    CRegKey(CRegKey&& other) noexcept : m_hKey(other.Detach()) {}
    CRegKey& operator=(CRegKey&& other) noexcept {
        if (this != &other) {
            Close();
            m_hKey = other.Detach();
        }
        return *this;
    }

    LSTATUS Open(HKEY parent, const char* subKey, REGSAM sam) {
        Close();
        return RegOpenKeyExA(parent, subKey, 0, sam, &m_hKey);
    }
    LSTATUS Create(HKEY parent, const char* subKey, REGSAM sam = KEY_ALL_ACCESS) {
        Close();
        return RegCreateKeyExA(parent, subKey, sam, &m_hKey, nullptr);
    }
    void Close() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
            m_hKey = nullptr;
        }
    }
    HKEY Detach() {
        HKEY h = m_hKey;
        m_hKey = nullptr;
        return h;
    }
    HKEY Get() const { return m_hKey; }
    explicit operator bool() const { return m_hKey != nullptr; }

private:
    HKEY m_hKey = nullptr;
};
