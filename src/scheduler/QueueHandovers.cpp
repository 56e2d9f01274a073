#include "scheduler/QueueHandovers.h"

#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"

#include <cstring>

namespace {

std::string KeyOf(int id) {
    return std::string(CQueueHandovers::kKeyPath) + "\\" + std::to_string(id);
}

} // namespace

BOOL CQueueHandovers::Begin(int id, const std::string& queueName) {
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, KeyOf(id).c_str()) != ERROR_SUCCESS) {
        return FALSE;
    }
    return RegSetValueExA(key.Get(), "QueueName", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(queueName.c_str()),
                          static_cast<DWORD>(queueName.size() + 1)) == ERROR_SUCCESS;
}

BOOL CQueueHandovers::End(int id) {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        return TRUE; // no note was ever written
    }
    const LSTATUS rc = RegDeleteKeyA(key.Get(), std::to_string(id).c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::vector<std::pair<int, std::string>> CQueueHandovers::Unfinished() {
    std::vector<std::pair<int, std::string>> notes;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ) != ERROR_SUCCESS) {
        return notes;
    }
    for (const std::string& name : CQueueScheduleDB::ListSubkeyNames(key.Get())) {
        char buffer[1024] = {};
        DWORD size = sizeof buffer - 1;
        std::string queueName;
        CRegKey note;
        if (note.Open(key.Get(), name.c_str(), KEY_READ) == ERROR_SUCCESS &&
            RegQueryValueExA(note.Get(), "QueueName", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
            queueName.assign(buffer, strnlen(buffer, size));
        }
        notes.emplace_back(CQueueScheduleDB::IdFromName(name.c_str()), queueName);
    }
    return notes;
}
