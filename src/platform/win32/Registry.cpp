// The registry calls on Windows: each one is the system's own call on the handle a key wraps.
#include "platform/registry/Registry.h"

#include "platform/win32/Api.h"

#include <vector>

struct RegKey {
    win32::Handle native;
    bool predefined;
    int root; // 0 the user's, 1 the machine's
};

namespace {
RegKey g_currentUser{win32::RootKey(true), true, 0};
RegKey g_localMachine{win32::RootKey(false), true, 1};
// Per root, the system's code for the last change it refused, for RegLastFailure.
LSTATUS g_lastFailure[2] = {ERROR_SUCCESS, ERROR_SUCCESS};

LSTATUS Noted(HKEY key, LSTATUS rc) {
    if (rc != ERROR_SUCCESS) {
        g_lastFailure[key->root] = rc;
    }
    return rc;
}
} // namespace

const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;

namespace {
// The system's handle in one of ours, once the call that made it has returned.
LSTATUS Wrap(LSTATUS rc, win32::Handle native, HKEY parent, HKEY* phkResult) {
    *phkResult = rc == ERROR_SUCCESS ? new RegKey{native, false, parent->root} : nullptr;
    return rc;
}
} // namespace

LSTATUS RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
    if (hKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    win32::Handle native = nullptr;
    const LSTATUS rc = win32::OpenKey(hKey->native, lpSubKey, samDesired, &native);
    return Wrap(rc, native, hKey, phkResult);
}

LSTATUS RegCreateKeyExA(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult,
                        DWORD* lpdwDisposition) {
    if (hKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    win32::Handle native = nullptr;
    const LSTATUS rc = win32::CreateKey(hKey->native, lpSubKey != nullptr ? lpSubKey : "",
                                        samDesired, &native, lpdwDisposition);
    return Wrap(Noted(hKey, rc), native, hKey, phkResult);
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (hKey->predefined) {
        return ERROR_SUCCESS;
    }
    const LSTATUS rc = win32::CloseKey(hKey->native);
    delete hKey;
    return rc;
}

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : win32::EnumKey(hKey->native, dwIndex, lpName, cchName);
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                      DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : win32::EnumValue(hKey->native, dwIndex, lpValueName, lpcchValueName,
                                              lpType, lpData, lpcbData);
}

LSTATUS RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                         DWORD* lpcbData) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : win32::QueryValue(hKey->native, lpValueName, lpType, lpData, lpcbData);
}

LSTATUS RegQueryValueAtA(HKEY hKey, const char* lpSubKey, const char* lpValueName, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData) {
    CRegKey key;
    const LSTATUS rc = key.Open(hKey, lpSubKey, KEY_QUERY_VALUE);
    return rc != ERROR_SUCCESS
               ? rc
               : RegQueryValueExA(key.Get(), lpValueName, nullptr, lpType, lpData, lpcbData);
}

LSTATUS RegVisitValuesA(HKEY hKey, const char* lpSubKey, const RegValueVisitor& visit) {
    CRegKey key;
    const LSTATUS opened = key.Open(hKey, lpSubKey, KEY_QUERY_VALUE);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    // The system's calls copy each value out; one buffer serves the whole key.
    std::vector<char> name(kMaxRegValueNameBytes + 1);
    std::vector<BYTE> data(64);
    int retries = 0;
    for (DWORD index = 0;;) {
        auto nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        auto size = static_cast<DWORD>(data.size());
        const LSTATUS rc = RegEnumValueA(key.Get(), index, name.data(), &nameLength, nullptr, &type,
                                         data.data(), &size);
        if (rc == ERROR_MORE_DATA && size > data.size() && ++retries < 8) {
            data.resize(size); // the same index again with room for the data
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
        }
        visit({std::string_view(name.data(), nameLength), type, data.data(), size});
        ++index;
        retries = 0;
    }
}

LSTATUS RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
    return hKey == nullptr
               ? ERROR_INVALID_HANDLE
               : Noted(hKey, win32::SetValue(hKey->native, lpValueName, dwType, lpData, cbData));
}

LSTATUS RegDeleteValueA(HKEY hKey, const char* lpValueName) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : Noted(hKey, win32::DeleteValue(hKey->native, lpValueName));
}

LSTATUS RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : Noted(hKey, win32::DeleteKey(hKey->native, lpSubKey));
}

LSTATUS RegDeleteTreeA(HKEY hKey, const char* lpSubKey) {
    return hKey == nullptr ? ERROR_INVALID_HANDLE
                           : Noted(hKey, win32::DeleteTree(hKey->native, lpSubKey));
}

namespace {
// The system registry has no transactions. Our own writers (the Monitor, the companion) take
// turns through one mutex per root instead, so that none of them sees another's entry half
// written; the client and its helpers do not take part.
struct Turn {
    const char* name;
    win32::Handle mutex = nullptr;
    int depth = 0;
};
Turn g_turns[2] = {{"QuorvelRegistryWriterHKCU"}, {"QuorvelRegistryWriterHKLM"}};

Turn& TurnFor(HKEY root) {
    return g_turns[root == HKEY_LOCAL_MACHINE ? 1 : 0];
}
} // namespace

LSTATUS RegBeginTransaction(HKEY root) {
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    Turn& turn = TurnFor(root);
    if (turn.depth == 0) {
        turn.mutex = win32::NewMutex(false, turn.name);
        if (turn.mutex == nullptr || !win32::WaitForMutex(turn.mutex)) {
            const auto error = static_cast<LSTATUS>(win32::LastError());
            if (turn.mutex != nullptr) {
                win32::CloseObject(turn.mutex);
                turn.mutex = nullptr;
            }
            return error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED;
        }
    }
    ++turn.depth;
    return ERROR_SUCCESS;
}

LSTATUS RegCommitTransaction(HKEY root) {
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    Turn& turn = TurnFor(root);
    if (turn.depth > 0 && --turn.depth == 0) {
        win32::ReleaseMutex(turn.mutex);
        win32::CloseObject(turn.mutex);
        turn.mutex = nullptr;
    }
    return ERROR_SUCCESS;
}

void RegRollbackTransaction(HKEY root) {
    // What was written stays written: the system registry cannot take it back.
    if (root != nullptr) {
        RegCommitTransaction(root);
    }
}

// The system registry has no snapshots; taking our writers' turn here would only make the
// reader wait for them.
LSTATUS RegBeginReadTransaction(HKEY root) {
    return root == nullptr ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

void RegEndReadTransaction(HKEY) {}

void RegCloseStores() {}

std::string RegStoreLocation(HKEY) {
    return "the system registry";
}

std::string RegLastFailure(HKEY root) {
    // The system's own words for the last change it refused (access denied, disk full).
    const LSTATUS rc = root != nullptr ? g_lastFailure[root->root] : ERROR_INVALID_HANDLE;
    return RegStoreLocation(root) + ": " +
           (rc != ERROR_SUCCESS ? win32::ErrorText(static_cast<win32::Dword>(rc))
                                : std::string("the change was refused"));
}

std::string RegStoreProblem(HKEY) {
    return {}; // the system's registry reports its own failures call by call
}
