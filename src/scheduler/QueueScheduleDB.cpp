#include "scheduler/QueueScheduleDB.h"

#include "platform/WinApp.h"
#include "platform/registry/Registry.h"

#include <climits>
#include <new>
#include <unistd.h>
#include <vector>

namespace {

// True when a file of that name exists (the path is not opened, only looked up).
bool FileExists(const std::string& path) {
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

// Every subkey name of the open key that fits the listing buffer, in enumeration order.
std::vector<std::string> ListSubkeyNames(HKEY hKey) {
    std::vector<std::string> names;
    char name[CQueueScheduleDB::kNameBuffer];
    for (DWORD index = 0;; ++index) {
        const LSTATUS rc = RegEnumKeyA(hKey, index, name, sizeof name);
        if (rc == ERROR_MORE_DATA) {
            continue; // too long to be an id; the entries after it still count
        }
        if (rc != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name);
    }
    return names;
}

} // namespace

CQueueScheduleDB::CQueueScheduleDB(CWinApp* pApp) : m_pApp(pApp != nullptr ? pApp : AfxGetApp()) {}

int CQueueScheduleDB::IdFromName(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    const char* p = name;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            return 0;
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN) {
        return 0;
    }
    return static_cast<int>(value);
}

bool CQueueScheduleDB::IsCanonicalIdName(const char* name) {
    if (name == nullptr || *name < '1' || *name > '9') {
        return false;
    }
    const int id = IdFromName(name);
    return id >= 1 && std::to_string(id) == name;
}

std::string CQueueScheduleDB::SectionForId(int id) {
    return std::string(kSection) + "\\" + std::to_string(id) + "\\";
}

std::unique_ptr<CUIntArray> CQueueScheduleDB::GetIdList() {
    std::unique_ptr<CUIntArray> list;
    try {
        list = std::make_unique<CUIntArray>();
        CRegKey key;
        if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ) == ERROR_SUCCESS) {
            for (const std::string& name : ListSubkeyNames(key.Get())) {
                list->push_back(static_cast<UINT>(IdFromName(name.c_str())));
            }
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (list->empty()) {
        FreeIdList(std::move(list));
        return nullptr;
    }
    return list;
}

void CQueueScheduleDB::FreeIdList(std::unique_ptr<CUIntArray> list) {
    if (list == nullptr) {
        return;
    }
    list->clear();
    list->shrink_to_fit();
    list.reset();
}

void CQueueScheduleDB::PurgeInvalid() {
    if (m_pApp == nullptr) {
        return;
    }
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        return;
    }
    // Judge every subkey present now, then delete: deleting while walking by index would
    // shift the later subkeys under the walk.
    std::vector<std::string> invalid;
    for (const std::string& name : ListSubkeyNames(key.Get())) {
        const std::string section = std::string(kSection) + "\\" + name;
        const std::string queueName = m_pApp->GetProfileString(section.c_str(), "QueueName", "");
        const UINT version = m_pApp->GetProfileInt(section.c_str(), "DBVER", 0);
        if (version != 1 || !FileExists(queueName)) {
            invalid.push_back(name);
        }
    }
    for (const std::string& name : invalid) {
        RegDeleteKeyA(key.Get(), name.c_str());
    }
}

int CQueueScheduleDB::FindIdByName(const char* queueName) {
    if (m_pApp == nullptr || queueName == nullptr) {
        return 0;
    }
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ) != ERROR_SUCCESS) {
        return 0;
    }
    for (const std::string& name : ListSubkeyNames(key.Get())) {
        if (!IsCanonicalIdName(name.c_str())) {
            continue;
        }
        const std::string section = std::string(kSection) + "\\" + name;
        if (m_pApp->GetProfileString(section.c_str(), "QueueName", "") == queueName) {
            return IdFromName(name.c_str());
        }
    }
    return 0;
}

int CQueueScheduleDB::GetNextFreeId() {
    if (m_pApp == nullptr) {
        return 1;
    }
    int id = 1;
    for (; id < INT_MAX; ++id) {
        if (m_pApp->GetProfileInt(SectionForId(id).c_str(), "DataSize", 0) == 0) {
            break;
        }
    }
    return id;
}

std::unique_ptr<SCHEDULEDATA> CQueueScheduleDB::Read(int id, std::string& queueName) {
    if (id < 1 || m_pApp == nullptr) {
        return nullptr;
    }
    try {
        auto record = std::make_unique<SCHEDULEDATA>();
        const std::string section = SectionForId(id);
        queueName = m_pApp->GetProfileString(section.c_str(), "QueueName", "");
        const UINT dataSize = m_pApp->GetProfileInt(section.c_str(), "DataSize", 0);
        const UINT version = m_pApp->GetProfileInt(section.c_str(), "DBVER", 0);
        std::unique_ptr<BYTE[]> bytes;
        UINT count = 0;
        m_pApp->GetProfileBinary(section.c_str(), "Data", &bytes, &count);
        if (version != 1 || dataSize != SCHEDULEDATA::kSize || count != dataSize ||
            queueName.empty() || bytes == nullptr) {
            return nullptr;
        }
        *record = SCHEDULEDATA::FromBytes(bytes.get());
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int CQueueScheduleDB::Write(int id, const SCHEDULEDATA* pData, const char* queueName) {
    if (pData == nullptr || m_pApp == nullptr) {
        return 0;
    }
    if (id < 1) {
        id = GetNextFreeId();
    }
    const std::string section = SectionForId(id);
    const auto bytes = pData->ToBytes();
    m_pApp->WriteProfileInt(section.c_str(), "DBVER", 1);
    m_pApp->WriteProfileString(section.c_str(), "QueueName", queueName != nullptr ? queueName : "");
    m_pApp->WriteProfileInt(section.c_str(), "DataSize", static_cast<int>(SCHEDULEDATA::kSize));
    m_pApp->WriteProfileBinary(section.c_str(), "Data", bytes.data(),
                               static_cast<UINT>(bytes.size()));
    return id;
}

void CQueueScheduleDB::Delete(int id) {
    if (id < 1) {
        return; // never names an entry
    }
    DeleteSubkey(std::to_string(id).c_str());
}

void CQueueScheduleDB::DeleteSubkey(const char* name) {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_WRITE) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteKeyA(key.Get(), name);
}
