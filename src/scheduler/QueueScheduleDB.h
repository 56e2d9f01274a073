// The scheduled queues the client registers: one subkey per entry below
// HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Queue, named by
// its id, holding "QueueName", "DBVER" (1), "DataSize" (32) and "Data" (SCHEDULEDATA).
// Nothing is cached: every call reads the registry afresh.
#pragma once

#include "platform/Types.h"
#include "scheduler/ScheduleData.h"

#include <memory>
#include <string>

class CWinApp;

class CQueueScheduleDB {
public:
    static constexpr const char* kSection = "CurrentVersion\\Scheduler\\Queue";
    static constexpr const char* kKeyPath =
        "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Scheduler\\Queue";

    explicit CQueueScheduleDB(CWinApp* pApp = nullptr); // null: the running application
    virtual ~CQueueScheduleDB() = default;

    // Ids in enumeration order, or null when there is none.
    std::unique_ptr<CUIntArray> GetIdList();
    // Releases a list handed out by either store; null is allowed.
    static void FreeIdList(std::unique_ptr<CUIntArray> list);
    // Removes every entry whose queue file is missing or whose "DBVER" is not 1.
    void PurgeInvalid();
    // Id of the first entry whose "QueueName" equals the path exactly; 0 when none does.
    int FindIdByName(const char* queueName);
    // The smallest id >= 1 whose "DataSize" reads 0.
    int GetNextFreeId();
    // The record of a readable entry, or null. For ids >= 1 `queueName` receives the stored
    // "QueueName" even when the entry is refused.
    std::unique_ptr<SCHEDULEDATA> Read(int id, std::string& queueName);
    // Writes the four values; an id below 1 takes GetNextFreeId().
    void Write(int id, const SCHEDULEDATA* pData, const char* queueName);
    void Delete(int id);

private:
    CWinApp* m_pApp;
};
