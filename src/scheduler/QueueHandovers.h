// Queues the Monitor is handing to the client right now. Each is noted in the transaction that
// records the queue's run and forgotten once the client was started, so that a Monitor that
// died in between finds, at its next start, the runs that may never have been started.
// HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\Scheduler\Handover\<id>,
// holding "QueueName"; the client never looks there.
#pragma once

#include "platform/Types.h"

#include <string>
#include <utility>
#include <vector>

class CQueueHandovers {
public:
    static constexpr const char* kKeyPath =
        "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Scheduler\\Handover";

    // FALSE when the note could not be written.
    static BOOL Begin(int id, const std::string& queueName);
    // FALSE when a note that exists could not be removed.
    static BOOL End(int id);
    // The notes left behind, as id and queue name, in enumeration order.
    static std::vector<std::pair<int, std::string>> Unfinished();
};
