#include "scheduler/QueueScheduleDB.h"

#include "platform/WinApp.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <climits>
#include <new>
#include <unistd.h>
#include <vector>

namespace {

// True when a file of that name exists (the path is not opened, only looked up).
bool FileExists(const std::string& path) {
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

// The values of one entry subkey, read with the profile store's rules (an integer is a 4-byte
// REG_DWORD, a text a REG_SZ cut at its first NUL, anything else gives the default). They are
// taken in one listing of the key: a pass reads every entry, and one query per value costs
// several times more once the store is larger than its read cache.
class CEntryValues {
public:
    CEntryValues(HKEY parent, const std::string& subKey) {
        CRegKey key;
        if (key.Open(parent, subKey.c_str(), KEY_READ) != ERROR_SUCCESS) {
            return;
        }
        char name[kMaxRegNameLength + 1];
        std::vector<BYTE> data(64);
        int retries = 0;
        for (DWORD index = 0;;) {
            DWORD nameLength = sizeof name;
            DWORD type = 0;
            auto size = static_cast<DWORD>(data.size());
            const LSTATUS rc = RegEnumValueA(key.Get(), index, name, &nameLength, nullptr, &type,
                                             data.data(), &size);
            if (rc == ERROR_MORE_DATA && size > data.size() && ++retries < 8) {
                data.resize(size); // the same index again with room for the data
                continue;
            }
            if (rc != ERROR_SUCCESS) {
                m_complete = rc == ERROR_NO_MORE_ITEMS;
                break;
            }
            m_values.push_back(
                {Fold(name), type, std::vector<BYTE>(data.begin(), data.begin() + size)});
            ++index;
            retries = 0;
        }
    }

    // False when the key could not be listed to its end (a value that kept growing while it
    // was read): what is missing must not be taken for absent.
    bool IsComplete() const { return m_complete; }

    std::string GetString(const char* name) const {
        const Entry* e = Find(name);
        if (e == nullptr || (e->type != REG_SZ && e->type != REG_EXPAND_SZ)) {
            return {};
        }
        return std::string(e->data.begin(), std::find(e->data.begin(), e->data.end(), BYTE{0}));
    }
    UINT GetInt(const char* name) const {
        const Entry* e = Find(name);
        if (e == nullptr || e->type != REG_DWORD || e->data.size() != 4) {
            return 0;
        }
        return static_cast<UINT>(e->data[0]) | (static_cast<UINT>(e->data[1]) << 8) |
               (static_cast<UINT>(e->data[2]) << 16) | (static_cast<UINT>(e->data[3]) << 24);
    }
    // The raw bytes of any type; null when absent.
    const std::vector<BYTE>* GetBytes(const char* name) const {
        const Entry* e = Find(name);
        return e != nullptr ? &e->data : nullptr;
    }

private:
    struct Entry {
        std::string name; // folded
        DWORD type;
        std::vector<BYTE> data;
    };

    // Value names compare without regard to case.
    static std::string Fold(const char* name) {
        std::string folded(name);
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return folded;
    }
    const Entry* Find(const char* name) const {
        const std::string folded = Fold(name);
        for (const Entry& e : m_values) {
            if (e.name == folded) {
                return &e;
            }
        }
        return nullptr;
    }

    std::vector<Entry> m_values;
    bool m_complete = false;
};

} // namespace

CStoreReadBatch::CStoreReadBatch() {
    Begin();
}

CStoreReadBatch::~CStoreReadBatch() {
    End();
}

void CStoreReadBatch::Begin() {
    // Without a transaction every read simply locks on its own.
    if (!m_open) {
        m_open = RegBeginTransaction(HKEY_CURRENT_USER) == ERROR_SUCCESS;
    }
}

void CStoreReadBatch::End() {
    if (m_open) {
        RegCommitTransaction(HKEY_CURRENT_USER);
        m_open = false;
    }
}

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

std::vector<std::string> CQueueScheduleDB::ListSubkeyNames(HKEY hKey) {
    std::vector<std::string> names;
    char name[kNameBuffer];
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
    CStoreReadBatch batch;
    for (const std::string& name : ListSubkeyNames(key.Get())) {
        CEntryValues values(key.Get(), name);
        const std::string queueName = values.GetString("QueueName");
        const UINT version = values.GetInt("DBVER");
        if (!values.IsComplete()) {
            continue; // judged at the next pass
        }
        if (version != 1 || !FileExists(queueName)) {
            invalid.push_back(name);
        }
    }
    batch.End();
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
        if (CEntryValues(key.Get(), name).GetString("QueueName") == queueName) {
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
    const std::string root = m_pApp->GetProfileRoot();
    if (root.empty()) {
        queueName.clear(); // no profile, nothing stored
        return nullptr;
    }
    try {
        auto record = std::make_unique<SCHEDULEDATA>();
        CEntryValues values(HKEY_CURRENT_USER, root + "\\" + SectionForId(id));
        queueName = values.GetString("QueueName");
        const UINT dataSize = values.GetInt("DataSize");
        const UINT version = values.GetInt("DBVER");
        const std::vector<BYTE>* bytes = values.GetBytes("Data");
        const std::size_t count = bytes != nullptr ? bytes->size() : 0;
        if (version != 1 || dataSize != SCHEDULEDATA::kSize || count != dataSize ||
            queueName.empty()) {
            return nullptr;
        }
        *record = SCHEDULEDATA::FromBytes(bytes->data());
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int CQueueScheduleDB::Write(int id, const SCHEDULEDATA* pData, const char* queueName) {
    if (pData == nullptr || m_pApp == nullptr) {
        return 0;
    }
    // One transaction: the client never sees an entry half rewritten, the four values cost one
    // durable commit instead of four, and a free id stays free until it is taken.
    CRegTransaction transaction(HKEY_CURRENT_USER);
    if (transaction.Started() != ERROR_SUCCESS) {
        return 0;
    }
    if (id < 1) {
        id = GetNextFreeId();
    }
    const std::string section = SectionForId(id);
    const auto bytes = pData->ToBytes();
    const BOOL written = m_pApp->WriteProfileInt(section.c_str(), "DBVER", 1) &&
                         m_pApp->WriteProfileString(section.c_str(), "QueueName",
                                                    queueName != nullptr ? queueName : "") &&
                         m_pApp->WriteProfileInt(section.c_str(), "DataSize",
                                                 static_cast<int>(SCHEDULEDATA::kSize)) &&
                         m_pApp->WriteProfileBinary(section.c_str(), "Data", bytes.data(),
                                                    static_cast<UINT>(bytes.size()));
    if (!written || transaction.Commit() != ERROR_SUCCESS) {
        return 0;
    }
    return id;
}

BOOL CQueueScheduleDB::Delete(int id) {
    if (id < 1) {
        return FALSE; // never names an entry
    }
    return DeleteSubkey(std::to_string(id).c_str());
}

CQueueScheduleDB::Change CQueueScheduleDB::Replace(int id, const std::string& queueName,
                                                   const SCHEDULEDATA* expected,
                                                   const SCHEDULEDATA* next) {
    // The check and the change share one write transaction, so that nothing another program
    // writes can come between them.
    CRegTransaction transaction(HKEY_CURRENT_USER);
    if (transaction.Started() != ERROR_SUCCESS) {
        return Change::Failed;
    }
    std::string stored;
    const std::unique_ptr<SCHEDULEDATA> current = Read(id, stored);
    const bool same = expected != nullptr ? current != nullptr && stored == queueName &&
                                                current->ToBytes() == expected->ToBytes()
                                          : current == nullptr && stored.empty();
    if (!same) {
        return Change::Changed;
    }
    const bool changed =
        next != nullptr ? Write(id, next, queueName.c_str()) == id : Delete(id) != FALSE;
    if (!changed || transaction.Commit() != ERROR_SUCCESS) {
        return Change::Failed;
    }
    return Change::Saved;
}

BOOL CQueueScheduleDB::DeleteSubkey(const char* name) {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_WRITE) != ERROR_SUCCESS) {
        return FALSE;
    }
    return RegDeleteKeyA(key.Get(), name) == ERROR_SUCCESS;
}
