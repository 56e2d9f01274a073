#include "scheduler/QueueScheduleDB.h"

#include "platform/SystemText.h"
#include "platform/WinApp.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// True when a file of that name exists (the path is not opened, only looked up). A pass asks
// once per file: many entries may name the same queue.
bool FileExists(const std::string& path, std::unordered_map<std::string, bool>& known) {
    if (path.empty()) {
        return false;
    }
    if (const auto it = known.find(path); it != known.end()) {
        return it->second;
    }
    std::error_code ec;
    const bool exists = std::filesystem::exists(NativePath(path), ec);
    known.emplace(path, exists);
    return exists;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

UINT Dword(const RegValueView& value) {
    if (value.type != REG_DWORD || value.size != 4) {
        return 0;
    }
    const BYTE* b = value.data;
    return static_cast<UINT>(b[0]) | (static_cast<UINT>(b[1]) << 8) |
           (static_cast<UINT>(b[2]) << 16) | (static_cast<UINT>(b[3]) << 24);
}

// The values of one entry subkey, read with the profile store's rules (an integer is a 4-byte
// REG_DWORD, a text a REG_SZ cut at its first NUL, anything else gives the default), in one
// visit of the key. One object serves a whole pass: its buffers are reused entry by entry.
struct EntryValues {
    std::string queueName;
    UINT version = 0;
    UINT dataSize = 0;
    std::size_t dataCount = 0; // bytes "Data" holds; kept only when they are a record's
    std::array<BYTE, SCHEDULEDATA::kSize> data{};

    // False when the key could not be read, or not to its end: what is missing must not be
    // taken for absent.
    bool Read(HKEY parent, const char* subKey) {
        queueName.clear();
        version = dataSize = 0;
        dataCount = 0;
        const LSTATUS rc = RegVisitValuesA(parent, subKey, [this](const RegValueView& value) {
            if (SameName(value.name, "QueueName")) {
                const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
                const auto* begin = reinterpret_cast<const char*>(value.data);
                queueName.assign(begin, text ? std::find(begin, begin + value.size, '\0') : begin);
            } else if (SameName(value.name, "DBVER")) {
                version = Dword(value);
            } else if (SameName(value.name, "DataSize")) {
                dataSize = Dword(value);
            } else if (SameName(value.name, "Data")) {
                dataCount = value.size;
                if (dataCount == data.size()) {
                    std::copy(value.data, value.data + value.size, data.begin());
                }
            }
        });
        return rc == ERROR_SUCCESS;
    }

    bool IsRecord() const {
        return version == 1 && dataSize == SCHEDULEDATA::kSize && dataCount == dataSize &&
               !queueName.empty();
    }
    SCHEDULEDATA Record() const { return SCHEDULEDATA::FromBytes(data.data()); }
};

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
    Scan(nullptr);
}

void CQueueScheduleDB::Scan(const EntryVisitor& visit) {
    if (m_pApp == nullptr) {
        return;
    }
    // Judge every subkey present now, then delete: deleting while walking by index would
    // shift the later subkeys under the walk, and a delete inside the snapshot would have to
    // wait for any other writer.
    std::vector<std::string> invalid;
    std::unordered_map<std::string, bool> files;
    EntryValues values;
    const auto isInvalid = [&values, &files] {
        return values.version != 1 || !FileExists(values.queueName, files);
    };
    {
        CRegReadTransaction snapshot(HKEY_CURRENT_USER);
        CRegKey key; // opened in the snapshot, so in the file the snapshot reads
        if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ) != ERROR_SUCCESS) {
            return;
        }
        for (const std::string& name : ListSubkeyNames(key.Get())) {
            if (!values.Read(key.Get(), name.c_str())) {
                continue; // judged at the next pass
            }
            if (isInvalid()) {
                invalid.push_back(name);
            } else if (visit && values.IsRecord() && IsCanonicalIdName(name.c_str())) {
                visit(IdFromName(name.c_str()), values.queueName, values.Record());
            }
        }
    }
    // Nothing lost, nothing reported done that was not: an entry is deleted as invalid only by
    // the transaction that finds it invalid itself. Since the snapshot the store file may have
    // been replaced (a restore renames another over it), and the subkey of that name in the
    // file there now may well be a valid entry.
    for (const std::string& name : invalid) {
        CRegTransaction transaction(HKEY_CURRENT_USER);
        CRegKey writable;
        if (transaction.Started() == ERROR_SUCCESS &&
            writable.Open(HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
            values.Read(writable.Get(), name.c_str()) && isInvalid() &&
            RegDeleteKeyA(writable.Get(), name.c_str()) == ERROR_SUCCESS) {
            transaction.Commit();
        }
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
    EntryValues values;
    for (const std::string& name : ListSubkeyNames(key.Get())) {
        if (!IsCanonicalIdName(name.c_str())) {
            continue;
        }
        if (values.Read(key.Get(), name.c_str()) && values.queueName == queueName) {
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
        EntryValues values;
        values.Read(HKEY_CURRENT_USER, (root + "\\" + SectionForId(id)).c_str());
        queueName = values.queueName;
        return values.IsRecord() ? std::make_unique<SCHEDULEDATA>(values.Record()) : nullptr;
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
    // Nothing lost, nothing reported done that was not: the check and the change share one
    // write transaction, so that nothing another program writes can come between them.
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
