// The scheduled queues the client registers: one subkey per entry below
// HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Queue, named by
// its id, holding "QueueName", "DBVER" (1), "DataSize" (32) and "Data" (SCHEDULEDATA).
// Nothing is cached: every call reads the registry afresh.
//
// Subkey names come from another program and are not trusted:
// - a name that does not fit the 128-character enumeration buffer is skipped, not taken as
//   the end of the list, so that one odd subkey cannot hide the entries after it;
// - a name is read as a leading decimal number like atoi, but a number outside the int range
//   gives 0 (never an entry) instead of undefined behaviour or a wrapped id;
// - the purge removes the very subkey it examined, by its name, so that an invalid "7x" can
//   never take the valid entry "7" with it;
// - FindIdByName only answers with subkeys whose name is an id written canonically ("7", not
//   "07" or "7x"), because its caller acts on the entry of that id.
#pragma once

#include "platform/Types.h"
#include "platform/registry/Registry.h"
#include "scheduler/ScheduleData.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWinApp;

class CQueueScheduleDB {
public:
    static constexpr const char* kSection = "CurrentVersion\\Scheduler\\Queue";
    static constexpr const char* kKeyPath =
        "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Scheduler\\Queue";
    // Length of the name buffer used to list subkeys, terminator included.
    static constexpr DWORD kNameBuffer = 128;

    explicit CQueueScheduleDB(CWinApp* pApp = nullptr); // null: the running application
    virtual ~CQueueScheduleDB() = default;

    // Ids in enumeration order, or null when there is none.
    std::unique_ptr<CUIntArray> GetIdList();
    // Releases a list handed out by GetIdList; null is allowed.
    static void FreeIdList(std::unique_ptr<CUIntArray> list);
    // Removes every entry whose queue file is missing or whose "DBVER" is not 1.
    void PurgeInvalid();
    using EntryVisitor =
        std::function<void(int id, const std::string& queueName, const SCHEDULEDATA& record)>;
    // PurgeInvalid, handing every entry it keeps that Read would return (under a canonical id)
    // to `visit`, in enumeration order. Each subkey is read once, all from one snapshot and
    // without waiting for any other writer, and each queue file is looked up once; only the
    // removals write. The arguments live until `visit` returns; it must not use the registry.
    void Scan(const EntryVisitor& visit);
    // Id of the first entry whose "QueueName" equals the path exactly; 0 when none does.
    int FindIdByName(const char* queueName);
    // The smallest id >= 1 whose "DataSize" reads 0.
    int GetNextFreeId();
    // The record of a readable entry, or null. For ids >= 1 `queueName` receives the stored
    // "QueueName" even when the entry is refused.
    std::unique_ptr<SCHEDULEDATA> Read(int id, std::string& queueName);
    // Writes the four values in one transaction; an id below 1 takes GetNextFreeId(), chosen
    // inside that transaction so that two writers never take the same id. Returns the id
    // written, 0 when the change was not saved (RegLastFailure tells why).
    int Write(int id, const SCHEDULEDATA* pData, const char* queueName);
    // FALSE when the entry could not be deleted (it did not exist, or the store refused).
    BOOL Delete(int id);

    enum class Change { Saved, Changed, Failed };
    // Replaces entry `id` with `next` (null: deletes it), but only while it is still the entry
    // the caller read: named `queueName` with the record `expected` (null: no entry at all).
    // Changed, leaving the store alone, when another writer got there first.
    Change Replace(int id, const std::string& queueName, const SCHEDULEDATA* expected,
                   const SCHEDULEDATA* next);

    // The names of the open key's subkeys that fit kNameBuffer, in enumeration order; a longer
    // name is skipped. Both entry stores list their subkeys through this.
    static std::vector<std::string> ListSubkeyNames(HKEY hKey);
    // The id a subkey name stands for: its leading decimal number, 0 when there is none or
    // when it does not fit an int.
    static int IdFromName(const char* name);
    // True when `name` is exactly an id >= 1 written without sign or leading zeros.
    static bool IsCanonicalIdName(const char* name);
    // The profile section of entry `id` ("CurrentVersion\Scheduler\Queue\<id>\").
    static std::string SectionForId(int id);

private:
    BOOL DeleteSubkey(const char* name);

    CWinApp* m_pApp;
};
