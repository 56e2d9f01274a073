// The two roots and the outcomes of store operations, named apart from any backend.
#pragma once

namespace registry {

enum class Root { CurrentUser, LocalMachine };

// Failures a store call can report besides "not found".
enum class Status { Ok, NotFound, KeyDeleted, HasSubkeys, Unavailable, Busy };

} // namespace registry
