#include "resume/TransferResumeDB.h"

#include "platform/WinApp.h"
#include "platform/registry/Registry.h"
#include "scheduler/QueueScheduleDB.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>
#include <vector>

namespace {

std::string EntrySection(const char* name) {
    return std::string(CTransferResumeDB::kSection) + "\\" + name + "\\";
}

} // namespace

CTransferResumeDB::CTransferResumeDB(CWinApp* pApp)
    : m_pApp(pApp != nullptr ? pApp : AfxGetApp()) {}

BOOL CTransferResumeDB::ProfileReachesDatabase() const {
    if (m_pApp == nullptr) {
        return FALSE;
    }
    const std::string path = m_pApp->GetProfileRoot() + "\\" + kSection;
    return strcasecmp(path.c_str(), kKeyPath) == 0 ? TRUE : FALSE;
}

BOOL CTransferResumeDB::ReadEntry(int id, TRANSFERENTRY& entry) {
    entry = TRANSFERENTRY{};
    if (!ProfileReachesDatabase()) {
        return FALSE;
    }
    const std::string section = EntrySection(std::to_string(id).c_str());
    entry.nDataSize = m_pApp->GetProfileInt(section.c_str(), "DataSize", 0);
    entry.nVersion = m_pApp->GetProfileInt(section.c_str(), "DBVER", 0);
    m_pApp->GetProfileBinary(section.c_str(), "Data", &entry.pData, &entry.nDataBytes);
    return TRUE;
}

std::string CTransferResumeDB::Refusal(const TRANSFERENTRY& entry) {
    if (entry.nVersion != kVersion) {
        return "DBVER is " + std::to_string(entry.nVersion) + ", not 2 (or not a number)";
    }
    if (entry.nDataSize != TRANSFERDATA::kSize) {
        return "DataSize is " + std::to_string(entry.nDataSize) + ", not 800";
    }
    const UINT bytes = entry.pData != nullptr ? entry.nDataBytes : 0;
    if (bytes != entry.nDataSize) {
        return "Data holds " + std::to_string(bytes) + " bytes, not 800";
    }
    return {};
}

std::unique_ptr<TRANSFERDATA> CTransferResumeDB::Read(int id) {
    if (id < 1) {
        return nullptr;
    }
    try {
        auto record = std::make_unique<TRANSFERDATA>();
        TRANSFERENTRY entry;
        if (!ReadEntry(id, entry) || !Refusal(entry).empty()) {
            return nullptr;
        }
        std::memcpy(record->bytes, entry.pData.get(), TRANSFERDATA::kSize);
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL CTransferResumeDB::Delete(int id) {
    return DeleteSubkey(std::to_string(id));
}

BOOL CTransferResumeDB::DeleteSubkey(const std::string& name) {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_WRITE) != ERROR_SUCCESS) {
        return FALSE;
    }
    return RegDeleteKeyA(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

BOOL CTransferResumeDB::DeleteAll(const std::vector<std::string>* only) {
    // All or nothing: a half-forgotten list would resume only some of the transfers. A store
    // that takes no writes fails here, before its empty stand-in could pass for "nothing left".
    CRegTransaction transaction(HKEY_CURRENT_USER);
    if (transaction.Started() != ERROR_SUCCESS) {
        return FALSE;
    }
    CRegKey key;
    const LSTATUS opened = key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS);
    if (opened != ERROR_SUCCESS) {
        return opened == ERROR_FILE_NOT_FOUND; // nothing to forget
    }
    const std::vector<std::string> names =
        only != nullptr ? *only : CQueueScheduleDB::ListSubkeyNames(key.Get());
    for (const auto& name : names) {
        Delete(CQueueScheduleDB::IdFromName(name.c_str()));
    }
    return transaction.Commit() == ERROR_SUCCESS;
}

int CTransferResumeDB::CountValid() {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        return 0;
    }
    if (!ProfileReachesDatabase()) {
        // Every version would read as 0 and every entry would be thrown away.
        return 0;
    }
    int count = 0;
    for (const auto& name : CQueueScheduleDB::ListSubkeyNames(key.Get())) {
        const std::string section = EntrySection(name.c_str());
        if (m_pApp->GetProfileInt(section.c_str(), "DBVER", 0) == kVersion) {
            ++count;
            continue;
        }
        // Delete addresses an entry by its id; for a name such as "12x" or "012" that would
        // remove entry "12" instead of the one judged here, so such names are left alone.
        const int id = CQueueScheduleDB::IdFromName(name.c_str());
        if (std::to_string(id) != name) {
            continue;
        }
        // Nothing lost, nothing reported done that was not: deleted only when the transaction
        // that deletes it reads it as invalid too (the store file may have been replaced since).
        CRegTransaction transaction(HKEY_CURRENT_USER);
        if (transaction.Started() == ERROR_SUCCESS &&
            m_pApp->GetProfileInt(section.c_str(), "DBVER", 0) != kVersion && Delete(id)) {
            transaction.Commit();
        }
    }
    return count;
}

std::vector<TRANSFERSUBKEY> CTransferResumeDB::ListEntries() {
    std::vector<TRANSFERSUBKEY> entries;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ) != ERROR_SUCCESS) {
        return entries;
    }
    for (auto& name : CQueueScheduleDB::ListSubkeyNames(key.Get())) {
        TRANSFERSUBKEY& entry = entries.emplace_back();
        entry.strName = std::move(name);
        if (!CQueueScheduleDB::IsCanonicalIdName(entry.strName.c_str())) {
            entry.strRefusal = "its name is not an entry id";
            continue;
        }
        entry.nId = CQueueScheduleDB::IdFromName(entry.strName.c_str());
        TRANSFERENTRY values;
        entry.strRefusal = ReadEntry(entry.nId, values) ? Refusal(values)
                                                        : "the profile does not reach the database";
    }
    return entries;
}

RESUMETARGET GetResumeTarget(const std::string& clientFolder, int id, const TRANSFERDATA& data) {
    char parameters[32];
    std::snprintf(parameters, sizeof parameters, "fdb://%i", id);
    return {clientFolder + (data.bDownload() != 0 ? kDownloadHelper : kUploadHelper), parameters};
}
