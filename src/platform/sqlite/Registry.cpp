#include "platform/registry/Registry.h"

#include "platform/Text.h"
#include "platform/sqlite/Store.h"

#include <cstring>
#include <string>
#include <vector>

using registry::KeyId;
using registry::Root;
using registry::Status;
using registry::Store;

struct RegKey {
    Root root;
    KeyId id;
    REGSAM sam;
    bool predefined;
    // Subkey names as last listed, reused while the store has not changed, so that walking
    // a key by index stays linear.
    Store::Names enumNames;
    std::uint64_t enumGeneration = ~0ULL;
    std::vector<registry::Value> enumValues;
    std::uint64_t enumValuesGeneration = ~0ULL;
    Store::FileId file{}; // the store file the key was opened in
};

namespace {
RegKey g_currentUser{
    Root::CurrentUser, registry::kRootKey, KEY_ALL_ACCESS, true, {}, ~0ULL, {}, ~0ULL};
RegKey g_localMachine{
    Root::LocalMachine, registry::kRootKey, KEY_ALL_ACCESS, true, {}, ~0ULL, {}, ~0ULL};
} // namespace

const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;

namespace {

LSTATUS ToError(Status status) {
    switch (status) {
    case Status::Ok:
        return ERROR_SUCCESS;
    case Status::NotFound:
        return ERROR_FILE_NOT_FOUND;
    case Status::KeyDeleted:
        return ERROR_KEY_DELETED;
    case Status::HasSubkeys:
        return ERROR_ACCESS_DENIED;
    case Status::Busy:
    case Status::Unavailable:
        break;
    }
    return ERROR_BADDB;
}

bool ValidName(const std::string& name) {
    return name.size() <= kMaxRegNameBytes && text::Utf16Length(name) <= kMaxRegNameLength;
}

bool ValidValueName(const std::string& name) {
    return name.size() <= kMaxRegValueNameBytes &&
           text::Utf16Length(name) <= kMaxRegValueNameLength;
}

// Splits a subkey path. Doubled backslashes count as one and a trailing one is ignored, as in
// the system registry; a leading one is an error.
bool SplitPath(const char* subKey, std::vector<std::string>* parts) {
    parts->clear();
    if (subKey == nullptr || *subKey == '\0') {
        return true;
    }
    if (*subKey == '\\') {
        return false;
    }
    const std::string path(subKey);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('\\', start);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        if (slash > start) {
            std::string part = path.substr(start, slash - start);
            if (!ValidName(part)) {
                return false;
            }
            parts->push_back(std::move(part));
        }
        start = slash + 1;
    }
    return true;
}

bool Allowed(HKEY hKey, REGSAM needed) {
    return (hKey->sam & needed) == needed;
}

std::string ValueName(const char* name) {
    return name != nullptr ? std::string(name) : std::string();
}

// The store behind a key, looked at afresh first (see Store::Current: `changing` before a
// change or a transaction). A key opened in a store file that has since
// been replaced names nothing in the file there now (ids are a file's own): null, so that it
// reads as deleted, never as some other key of the new file. The roots are in every file.
Store* Reach(HKEY hKey, bool changing = false) {
    Store& store = Store::For(hKey->root);
    const Store::FileId file = store.Current(changing);
    return hKey->predefined || hKey->file == file ? &store : nullptr;
}

} // namespace

LSTATUS RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
    if (hKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (!SplitPath(lpSubKey, &parts)) {
        return ERROR_FILE_NOT_FOUND;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    KeyId id = 0;
    const Status status = store->FindKey(hKey->id, parts, &id);
    if (status != Status::Ok) {
        return ToError(status);
    }
    *phkResult = new RegKey{hKey->root, id, samDesired, false, {}, ~0ULL, {}, ~0ULL, store->File()};
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY hKey, const char* lpSubKey, REGSAM samDesired, HKEY* phkResult,
                        DWORD* lpdwDisposition) {
    if (hKey == nullptr || phkResult == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (!SplitPath(lpSubKey, &parts)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!parts.empty() && !Allowed(hKey, KEY_CREATE_SUB_KEY)) {
        return ERROR_ACCESS_DENIED;
    }
    Store* store = Reach(hKey, true);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    KeyId id = 0;
    bool created = false;
    const Status status =
        parts.empty() ? Status::Ok : store->CreateKey(hKey->id, parts, &id, &created);
    if (status != Status::Ok) {
        return ToError(status);
    }
    if (parts.empty()) {
        id = hKey->id;
    }
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *phkResult = new RegKey{hKey->root, id, samDesired, false, {}, ~0ULL, {}, ~0ULL, store->File()};
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!hKey->predefined) {
        delete hKey;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!Allowed(hKey, KEY_ENUMERATE_SUB_KEYS)) {
        return ERROR_ACCESS_DENIED;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const std::uint64_t generation = store->Generation();
    if (generation != hKey->enumGeneration) {
        const Status status = store->SubkeyNames(hKey->id, &hKey->enumNames);
        if (status != Status::Ok) {
            return ToError(status);
        }
        hKey->enumGeneration = store->Generation();
    }
    if (dwIndex >= hKey->enumNames->size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& name = (*hKey->enumNames)[dwIndex];
    if (lpName == nullptr || name.size() + 1 > cchName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

namespace {
// Copies a value out with the original platform's size rules.
LSTATUS CopyValue(const registry::Value& value, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if (lpType != nullptr) {
        *lpType = value.type;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    if (lpcbData == nullptr) {
        return lpData == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }
    if (lpData == nullptr) {
        *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size > 0) {
        std::memcpy(lpData, value.data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}
} // namespace

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                      DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (lpcchValueName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Allowed(hKey, KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    if (store->Generation() != hKey->enumValuesGeneration) {
        const Status status = store->Values(hKey->id, &hKey->enumValues);
        if (status != Status::Ok) {
            return ToError(status);
        }
        hKey->enumValuesGeneration = store->Generation();
    }
    if (dwIndex >= hKey->enumValues.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const registry::Value& value = hKey->enumValues[dwIndex];
    if (lpValueName == nullptr || value.name.size() + 1 > *lpcchValueName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    return CopyValue(value, lpType, lpData, lpcbData);
}

LSTATUS RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                         DWORD* lpcbData) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!Allowed(hKey, KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    registry::Value value;
    const Status status = store->GetValue(hKey->id, ValueName(lpValueName), &value);
    if (status != Status::Ok) {
        return ToError(status);
    }
    return CopyValue(value, lpType, lpData, lpcbData);
}

LSTATUS RegQueryValueAtA(HKEY hKey, const char* lpSubKey, const char* lpValueName, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (!SplitPath(lpSubKey, &parts)) {
        return ERROR_FILE_NOT_FOUND;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    registry::Value value;
    const Status status = store->GetValueAt(hKey->id, parts, ValueName(lpValueName), &value);
    if (status != Status::Ok) {
        return ToError(status);
    }
    return CopyValue(value, lpType, lpData, lpcbData);
}

LSTATUS RegVisitValuesA(HKEY hKey, const char* lpSubKey, const RegValueVisitor& visit) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (!SplitPath(lpSubKey, &parts)) {
        return ERROR_FILE_NOT_FOUND;
    }
    Store* store = Reach(hKey);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const registry::PackedValues* values = nullptr;
    const Status status = store->ValuesAt(hKey->id, parts, &values);
    if (status != Status::Ok) {
        return ToError(status);
    }
    values->ForEach([&visit](std::string_view name, DWORD type, const BYTE* data, DWORD size) {
        visit({name, type, data, size});
    });
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!Allowed(hKey, KEY_SET_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    const std::string name = ValueName(lpValueName);
    if (!ValidValueName(name) || (lpData == nullptr && cbData > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    Store* store = Reach(hKey, true);
    return store == nullptr ? ERROR_KEY_DELETED
                            : ToError(store->SetValue(hKey->id, name, dwType, lpData, cbData));
}

LSTATUS RegDeleteValueA(HKEY hKey, const char* lpValueName) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!Allowed(hKey, KEY_SET_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    Store* store = Reach(hKey, true);
    return store == nullptr ? ERROR_KEY_DELETED
                            : ToError(store->DeleteValue(hKey->id, ValueName(lpValueName)));
}

namespace {
LSTATUS DeleteSubkey(HKEY hKey, const char* lpSubKey, bool recursive) {
    if (hKey == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (lpSubKey == nullptr || !SplitPath(lpSubKey, &parts) || parts.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    Store* store = Reach(hKey, true);
    if (store == nullptr) {
        return ERROR_KEY_DELETED;
    }
    KeyId parent = hKey->id;
    const std::string leaf = parts.back();
    parts.pop_back();
    const Status found = store->FindKey(hKey->id, parts, &parent);
    if (found != Status::Ok) {
        return ToError(found);
    }
    return ToError(store->DeleteKey(parent, leaf, recursive));
}
} // namespace

LSTATUS RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
    return DeleteSubkey(hKey, lpSubKey, false);
}

LSTATUS RegDeleteTreeA(HKEY hKey, const char* lpSubKey) {
    return DeleteSubkey(hKey, lpSubKey, true);
}

LSTATUS RegBeginTransaction(HKEY root) {
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    Store* store = Reach(root, true);
    return store == nullptr ? ERROR_KEY_DELETED : ToError(store->BeginWrite());
}

LSTATUS RegCommitTransaction(HKEY root) {
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return ToError(Store::For(root->root).Commit());
}

void RegRollbackTransaction(HKEY root) {
    if (root != nullptr) {
        Store::For(root->root).Rollback();
    }
}

LSTATUS RegBeginReadTransaction(HKEY root) {
    if (root == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    Store* store = Reach(root, true);
    return store == nullptr ? ERROR_KEY_DELETED : ToError(store->BeginRead());
}

void RegEndReadTransaction(HKEY root) {
    if (root != nullptr) {
        Store::For(root->root).EndRead();
    }
}

void RegCloseStores() {
    Store::CloseAll();
}

std::string RegLastFailure(HKEY root) {
    return RegStoreLocation(root) + ": " +
           Store::For(root != nullptr ? root->root : Root::CurrentUser).LastError();
}

std::string RegStoreLocation(HKEY root) {
    return "the store " + registry::StorePath(root != nullptr ? root->root : Root::CurrentUser);
}

std::string RegStoreProblem(HKEY root) {
    std::string why;
    return Store::For(root != nullptr ? root->root : Root::CurrentUser).Unusable(&why) ? why : "";
}
