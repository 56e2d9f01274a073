#include "platform/sqlite/Store.h"

#include "platform/Text.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

namespace {

// "QPMR" in the SQLite header marks a file as ours.
constexpr int kApplicationId = 0x51504D52;
// 2: names folded as the registry folds them (every letter, not only ASCII).
constexpr int kSchemaVersion = 2;
// A store held by another process is waited for this long before a call gives up.
constexpr int kBusyTimeoutMs = 60000;
// The write-ahead log of a store of a few dozen KB: checkpointed every 256 pages (1 MB, not the
// default 4 MB), and cut back to 1 MB when it is reused after a large transaction, so that a
// program running for months never keeps a log many times the store's size.
constexpr int kWalCheckpointPages = 256;
constexpr int kWalSizeLimitBytes = 1 << 20;

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::string(value) : fallback;
}

std::string HomeDir() {
    return EnvOr("HOME", "/");
}

bool MakeDirs(const std::string& dir, mode_t mode) {
    if (dir.empty()) {
        return true;
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash), 0755)) {
        return false;
    }
    if (mkdir(dir.c_str(), mode) != 0) {
        return errno == EEXIST;
    }
    // The mode asked for, whatever the umask: a machine store that other users cannot read
    // would look empty to them.
    return chmod(dir.c_str(), mode) == 0;
}

std::string DirOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// SQLite's message for the last failure, with the system's own reason when there is one: "disk
// I/O error" alone does not say that the disk is full or a file may not grow.
std::string ErrorText(sqlite3* db, int locksRefused) {
    if (locksRefused != 0) {
        return std::string("its file system refuses the file locks every program sharing it "
                           "needs (") +
               std::strerror(locksRefused) + ")";
    }
    std::string text = sqlite3_errmsg(db);
    if (const int system = sqlite3_system_errno(db); system != 0) {
        text += std::string(" (") + std::strerror(system) + ")";
    }
    return text;
}

// Why another local user could change what is at `path`, or nothing. Such a user could plant
// queues that this user's Monitor hands to the client.
std::string OpenToOthers(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return {};
    }
    if (st.st_uid != geteuid()) {
        return path + " belongs to another user";
    }
    if ((st.st_mode & 022) != 0) {
        return path + " can be changed by other users";
    }
    return {};
}

// Whether some other process holds a lock on `length` bytes from `start` of an open file.
bool LockedByOthers(int fd, off_t start, off_t length) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool LockedByOthers(const std::string& path, off_t start, off_t length) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    // Closing drops every lock this process holds on the file: this is asked only before the
    // process opens the store (one connection per file and process), when it holds none.
    const bool locked = LockedByOthers(fd, start, length);
    close(fd);
    return locked;
}

// True when the log beside `path` is in use while nobody has the file at `path` open: the file
// was renamed over one that another program still has open. Opened now, it would be read
// through that file's log, pages of both mixed, and a checkpoint would write the mix into it.
// SQLite's documented lock bytes: every connection in WAL mode holds a shared lock on byte 128
// of the index (-shm) and, for as long as it is open, on the shared range of its database file
// (510 bytes from 2^30 + 2).
bool InAnotherFilesLog(const std::string& path) {
    constexpr off_t kIndexInUse = 128;
    constexpr off_t kSharedFirst = (off_t{1} << 30) + 2;
    constexpr off_t kSharedSize = 510;
    return LockedByOthers(path + "-shm", kIndexInUse, 1) &&
           !LockedByOthers(path, kSharedFirst, kSharedSize);
}

Status FromSqlite(int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) {
        return Status::Ok;
    }
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        return Status::Busy;
    }
    return Status::Unavailable;
}

} // namespace

std::string StorePath(Root root) {
    if (root == Root::CurrentUser) {
        const std::string config = EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config");
        return EnvOr("QUORVEL_REGISTRY_USER", config + "/quorvel-registry/user.db");
    }
    return EnvOr("QUORVEL_REGISTRY_MACHINE", "/var/lib/quorvel-registry/machine.db");
}

namespace {
Store* g_stores[2] = {nullptr, nullptr};
}

Store& Store::For(Root root) {
    Store*& slot = g_stores[root == Root::CurrentUser ? 0 : 1];
    if (slot == nullptr) {
        // Only closing the last connection checkpoints the write-ahead log and removes it and
        // its index; a process that just ended would leave both behind at their largest.
        static const bool closeAtExit = std::atexit(CloseAll) == 0;
        (void)closeAtExit;
        slot = new Store(root);
    }
    return *slot;
}

void Store::CloseAll() {
    for (Store*& slot : g_stores) {
        delete slot;
        slot = nullptr;
    }
}

namespace {
// Generations of one store object never meet another's: a key handle outlives CloseAll, and
// the listing it keeps must not pass for current by an equal count.
std::uint64_t g_storesMade = 0;
} // namespace

Store::Store(Root root) : m_root(root), m_ownWrites(++g_storesMade << 40) {}

Store::~Store() {
    Close();
}

void Store::Close() {
    for (auto& cached : m_statements) {
        sqlite3_finalize(cached.stmt);
    }
    m_statements.clear();
    if (m_db != nullptr) {
        if (!m_memory && Replaced()) {
            // SQLite leaves the log of a file moved away where it is, beside the path: opened
            // with the file there now, both would be read mixed. Its changes go into the file
            // they belong to and it is emptied, unless another program still reads it.
            sqlite3_busy_timeout(m_db, 0);
            sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        }
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    m_missing = m_memory = m_asciiFold = false;
    m_unusable.clear();
    m_txDepth = 0;
    m_txFailed = m_txReadOnly = false;
    m_dataVersion = -1;
    ForgetCaches();
    m_walIndex = nullptr;
    m_walTried = m_walHeaderValid = false;
    m_file = {};
    m_locksRefused = 0;
}

int Store::WaitForLock(void* self, int attempt) {
    // A lock the file system refuses to everyone (a network mount without its lock service)
    // never comes free: instead of waiting the whole timeout to fail as "database is locked",
    // the call fails at once and says why. SQLite reports a refused lock as busy; the lock
    // call's own error is still in errno, which SQLite's last-error call answers with too.
    const int error = errno;
    auto* store = static_cast<Store*>(self);
    if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS) {
        store->m_locksRefused = error;
        return 0;
    }
    if (attempt == 0) {
        store->m_waitStart = std::chrono::steady_clock::now();
    }
    if (std::chrono::steady_clock::now() - store->m_waitStart >=
        std::chrono::milliseconds(kBusyTimeoutMs)) {
        return 0;
    }
    sqlite3_sleep(std::min(1 << std::min(attempt, 6), 50));
    return 1;
}

bool Store::Replaced() const {
    struct stat st {};
    return stat(m_path.c_str(), &st) != 0 ||
           FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} !=
               m_file;
}

Store::FileId Store::Current(bool always) {
    // Nothing lost, nothing reported done that was not: what is read from or written to a file
    // no longer at the path is read from or written to nobody's store.
    if (m_db != nullptr && !m_memory && m_txDepth == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (always || now - m_lastLook >= std::chrono::milliseconds(100)) {
            m_lastLook = now;
            if (Replaced()) {
                Close();
            }
        }
    }
    EnsureOpen(false);
    return m_file;
}

bool Store::EnsureOpen(bool forWrite) {
    if (m_db != nullptr) {
        return true;
    }
    m_path = StorePath(m_root);
    if (m_root == Root::CurrentUser) {
        // Nothing lost, nothing reported done that was not: refused like a named-object folder
        // others can write, since nothing read from it is surely ours to hand to the client.
        std::string why = OpenToOthers(DirOf(m_path));
        if (why.empty()) {
            why = OpenToOthers(m_path);
        }
        if (!why.empty()) {
            OpenEmpty("it is refused: " + why);
            return true;
        }
    }
    struct stat st {};
    if (stat(m_path.c_str(), &st) == 0) {
        return OpenFile(false);
    }
    if (m_root == Root::LocalMachine && !forWrite) {
        m_missing = true;
        return false;
    }
    const bool user = m_root == Root::CurrentUser;
    const std::string dir = DirOf(m_path);
    if (!MakeDirs(dir, user ? 0700 : 0755)) {
        OpenEmpty("its folder cannot be created (" + std::string(std::strerror(errno)) + ")");
        return true;
    }
    const int fd =
        open(m_path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, user ? 0600 : 0644);
    if (fd < 0 && errno != EEXIST) {
        OpenEmpty("it cannot be created (" + std::string(std::strerror(errno)) + ")");
        return true;
    }
    if (fd >= 0) {
        fchmod(fd, user ? 0600 : 0644);
        close(fd);
    }
    m_missing = false;
    return OpenFile(true);
}

bool Store::OpenFile(bool created) {
    struct stat st {};
    if (stat(m_path.c_str(), &st) == 0) {
        m_file = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    if (InAnotherFilesLog(m_path)) {
        OpenEmpty("it replaced a file that another program still has open, and would be read "
                  "mixed with that file's log; it is looked at again once the program lets go");
        return true;
    }
    int rc = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        rc = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) {
        const std::string why = m_db != nullptr ? sqlite3_errmsg(m_db) : "cannot open";
        sqlite3_close(m_db);
        m_db = nullptr;
        OpenEmpty("it cannot be opened (" + why + ")");
        return true;
    }
    sqlite3_busy_handler(m_db, WaitForLock, this);
    sqlite3_extended_result_codes(m_db, 0);

    int appId = -1;
    int tables = -1;
    sqlite3_stmt* stmt = nullptr;
    // Both answers from one snapshot: read apart, a store another program is creating this
    // very moment could show its tables without its id and be taken for someone else's.
    const bool snapshot = Exec("BEGIN");
    // Why the first read failed, taken at once: what runs after it (the COMMIT) would put its
    // own message in place of the real reason.
    std::string readError;
    bool notADatabase = false;
    const auto noteReadError = [&] {
        if (readError.empty()) {
            notADatabase = sqlite3_errcode(m_db) == SQLITE_NOTADB;
            readError = ErrorText(m_db, m_locksRefused);
        }
    };
    if (sqlite3_prepare_v2(m_db, "PRAGMA application_id", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        appId = sqlite3_column_int(stmt, 0);
    } else {
        noteReadError();
    }
    sqlite3_finalize(stmt);
    stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        tables = sqlite3_column_int(stmt, 0);
    } else {
        noteReadError();
    }
    sqlite3_finalize(stmt);
    if (snapshot) {
        Exec("COMMIT");
    }

    std::string problem;
    const std::string dir = DirOf(m_path);
    if ((appId < 0 || tables < 0) && !dir.empty() && access(dir.c_str(), W_OK) != 0) {
        // Its journal goes beside it: a folder closed to writing leaves even reading impossible.
        problem = "in a folder that cannot be written (" + dir + ": " + std::strerror(errno) + ")";
    } else if (appId < 0 || tables < 0) {
        problem = (notADatabase ? "not a database: " : "unreadable: ") + readError;
    } else if (appId == 0 && tables == 0) {
        if (!Initialise()) {
            problem =
                std::string("uninitialised and could not be made a store: ") + sqlite3_errmsg(m_db);
        }
    } else if (appId != kApplicationId) {
        problem = "a database of another program";
    } else {
        stmt = nullptr;
        std::string check;
        if (sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(stmt, 0);
            check = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        } else {
            check = sqlite3_errmsg(m_db);
        }
        sqlite3_finalize(stmt);
        if (check != "ok") {
            problem = "damaged: " + check;
        }
    }
    (void)created;
    if (problem.empty() && appId == kApplicationId && !RefoldNames()) {
        m_asciiFold = true; // read as it was written until a program that may write it opens it
    }
    if (!problem.empty()) {
        sqlite3_close(m_db);
        m_db = nullptr;
        OpenEmpty("it is " + problem);
        return true;
    }
    Exec("PRAGMA synchronous=FULL");
    Exec(("PRAGMA wal_autocheckpoint=" + std::to_string(kWalCheckpointPages)).c_str());
    Exec(("PRAGMA journal_size_limit=" + std::to_string(kWalSizeLimitBytes)).c_str());
    Exec("PRAGMA foreign_keys=OFF");
    return true;
}

std::string Store::FoldOf(std::string_view name) const {
    if (!m_asciiFold) {
        return text::FoldName(name);
    }
    std::string out(name);
    for (char& c : out) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

bool Store::SameFold(std::string_view a, std::string_view b) const {
    return FoldOf(a) == FoldOf(b);
}

bool Store::RefoldNames() {
    sqlite3_stmt* stmt = nullptr;
    int version = 0;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        version = sqlite3_column_int(stmt, 0);
    }
    sqlite3_finalize(stmt);
    if (version >= kSchemaVersion) {
        return true;
    }
    if (!Exec("BEGIN IMMEDIATE")) {
        return false;
    }
    const std::string bump = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (Refold("keys", "parent") && Refold("vals", "key") && Exec(bump.c_str()) && Exec("COMMIT")) {
        return true;
    }
    Exec("ROLLBACK");
    return false;
}

bool Store::Refold(const std::string& table, const std::string& owner) {
    struct Row {
        std::int64_t owner;
        std::string name;
        std::string fold;
    };
    std::vector<Row> rows;
    sqlite3_stmt* stmt = nullptr;
    const std::string select = "SELECT " + owner + ", name, fold FROM " + table;
    if (sqlite3_prepare_v2(m_db, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    const auto blob = [&stmt](int column) {
        return std::string(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
    };
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        Row row{sqlite3_column_int64(stmt, 0), blob(1), blob(2)};
        if (text::FoldName(row.name) != row.fold) {
            rows.push_back(std::move(row));
        }
    }
    sqlite3_finalize(stmt);
    const std::string update =
        "UPDATE " + table + " SET name=?1, fold=?2 WHERE " + owner + "=?3 AND fold=?4";
    if (sqlite3_prepare_v2(m_db, update.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    // Two names that differ only in the case of a letter beyond ASCII were two entries, and
    // now name one: the second is renamed "name (2)", never merged or dropped.
    int rc = SQLITE_DONE;
    for (const Row& row : rows) {
        std::string name = row.name;
        for (int n = 2; rc == SQLITE_DONE; ++n) {
            const std::string fold = text::FoldName(name);
            sqlite3_reset(stmt);
            sqlite3_bind_blob(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
            sqlite3_bind_blob(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
            sqlite3_bind_int64(stmt, 3, row.owner);
            sqlite3_bind_blob(stmt, 4, row.fold.data(), static_cast<int>(row.fold.size()),
                              SQLITE_STATIC);
            rc = sqlite3_step(stmt);
            if (rc != SQLITE_CONSTRAINT) {
                break;
            }
            rc = SQLITE_DONE;
            name = row.name + " (" + std::to_string(n) + ")";
        }
        if (rc != SQLITE_DONE) {
            break;
        }
        if (name != row.name) {
            std::fprintf(stderr,
                         "quorvel registry: %s: '%s' is now '%s': its name differs from "
                         "another's only in case\n",
                         m_path.c_str(), row.name.c_str(), name.c_str());
        }
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

void Store::OpenEmpty(const std::string& why) {
    std::fprintf(stderr,
                 "quorvel registry: %s: %s; the file is left untouched, this program sees an "
                 "empty store and cannot save changes\n",
                 m_path.c_str(), why.c_str());
    m_memory = true;
    m_unusable = why;
    m_missing = false;
    sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Initialise();
}

bool Store::Unusable(std::string* why) const {
    if (m_memory && why != nullptr) {
        *why = m_path + ": " + m_unusable;
    }
    return m_memory;
}

bool Store::Initialise() {
    const bool wal = !m_memory && m_root == Root::CurrentUser;
    const std::string schema =
        "BEGIN IMMEDIATE;"
        "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " parent INTEGER NOT NULL, name BLOB NOT NULL, fold BLOB NOT NULL,"
        " UNIQUE(parent, fold));"
        "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name BLOB NOT NULL,"
        " fold BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
        " PRIMARY KEY(key, fold)) WITHOUT ROWID;"
        "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, 0, x'', x'');"
        "PRAGMA application_id=" +
        std::to_string(kApplicationId) + ";PRAGMA user_version=" + std::to_string(kSchemaVersion) +
        ";COMMIT;";
    // Another program may be creating the store this very moment, holding a lock that the
    // journal switch does not wait for: its lock is waited out like any writer's, and the
    // schema is written so that running it again over a finished store changes nothing.
    for (int waited = 0;; waited += 20) {
        if ((!wal || Exec("PRAGMA journal_mode=WAL")) && Exec(schema.c_str())) {
            return true;
        }
        const int rc = sqlite3_errcode(m_db);
        Exec("ROLLBACK");
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || waited >= kBusyTimeoutMs ||
            m_locksRefused != 0) {
            return false;
        }
        usleep(20000);
    }
}

bool Store::Exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* Store::Prepare(const char* sql) {
    for (auto& cached : m_statements) {
        if (cached.sql == sql) {
            sqlite3_reset(cached.stmt);
            sqlite3_clear_bindings(cached.stmt);
            return cached.stmt;
        }
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        return nullptr;
    }
    m_statements.push_back({sql, stmt});
    return stmt;
}

int Store::Step(const char* sql) {
    sqlite3_stmt* stmt = Prepare(sql);
    if (stmt == nullptr) {
        return sqlite3_errcode(m_db);
    }
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc;
}

std::uint64_t Store::Generation() {
    // Inside a snapshot the contents stay as they were when it was taken, whatever others
    // commit meanwhile (the header below would show their commits, not ours to see).
    if (m_db == nullptr || (m_txDepth > 0 && m_txReadOnly)) {
        return m_ownWrites;
    }
    // Asking SQLite costs a read transaction, two file-lock calls; the common answer, "nothing
    // changed", is read for free from the WAL index header every writer updates on commit.
    WalHeader header;
    const bool haveHeader = ReadWalHeader(&header);
    if (haveHeader && m_walHeaderValid && header == m_walHeader) {
        return m_ownWrites;
    }
    sqlite3_stmt* stmt = Prepare("PRAGMA data_version");
    if (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
        const std::int64_t version = sqlite3_column_int64(stmt, 0);
        if (version != m_dataVersion) {
            m_dataVersion = version;
            ++m_ownWrites;
        }
        // The header was taken before the question, so an equal header later means nothing
        // was committed since the answer.
        m_walHeader = header;
        m_walHeaderValid = haveHeader;
    } else {
        m_walHeaderValid = false;
    }
    if (stmt != nullptr) {
        sqlite3_reset(stmt);
    }
    if (!haveHeader) {
        MapWalIndex();
    }
    return m_ownWrites;
}

bool Store::WalHeader::operator==(const WalHeader& other) const {
    return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

void Store::MapWalIndex() {
    if (m_walTried || m_memory || m_db == nullptr) {
        return;
    }
    m_walTried = true;
    sqlite3_stmt* stmt = nullptr;
    bool wal = false;
    if (sqlite3_prepare_v2(m_db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* mode = sqlite3_column_text(stmt, 0);
        wal = mode != nullptr && std::strcmp(reinterpret_cast<const char*>(mode), "wal") == 0;
    }
    sqlite3_finalize(stmt);
    if (!wal) {
        return;
    }
    // SQLite's own mapping of the index, asked for through the file's documented methods.
    // (Opening the index file ourselves is no option: closing that descriptor would drop
    // every POSIX lock this process holds on it, SQLite's included.)
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
        file->pMethods->xShmMap == nullptr) {
        return;
    }
    constexpr int kIndexPage = 32768;
    volatile void* region = nullptr;
    if (file->pMethods->xShmMap(file, 0, kIndexPage, 0, &region) == SQLITE_OK &&
        region != nullptr) {
        m_walIndex = const_cast<const void*>(region);
    }
}

bool Store::ReadWalHeader(WalHeader* out) const {
    if (m_walIndex == nullptr) {
        return false;
    }
    // The first of the header's two copies, which writers update last.
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(out->bytes, m_walIndex, sizeof out->bytes);
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

void Store::ForgetCaches() {
    ++m_ownWrites;
    ClearCaches();
}

void Store::ClearCaches() {
    m_childCache.clear();
    m_valueCache.clear();
    m_valueCacheBytes = 0;
    m_subkeyCache.clear();
    m_cursor = nullptr;
}

void Store::Refresh() {
    const std::uint64_t generation = Generation();
    if (generation != m_cacheGeneration) {
        ClearCaches();
        m_cacheGeneration = generation;
    }
}

KeyId Store::NextListed(KeyId parent, const std::string& name) {
    if (m_cursor == nullptr || m_cursorParent != parent || m_cursorNext >= m_cursor->ids.size()) {
        return 0;
    }
    const std::string& listed = (*m_cursor->names)[m_cursorNext];
    if (!SameFold(listed, name)) {
        return 0;
    }
    return m_cursor->ids[m_cursorNext++];
}

Status Store::Begin(bool write) {
    // Nothing lost, nothing reported done that was not: a stand-in for an unusable file takes
    // no writes, which would be reported as saved and then vanish with the process.
    if (write && m_memory) {
        m_lastError = m_unusable;
        return Status::Unavailable;
    }
    if (m_txDepth > 0) {
        if (write && m_txReadOnly) {
            // Turning a snapshot into a write fails as soon as anyone wrote since it was
            // taken; the caller has to end its reads first.
            m_lastError = "a change was asked for in the middle of a read";
            return Status::Unavailable;
        }
        ++m_txDepth;
        return Status::Ok;
    }
    const int rc = Step(write ? "BEGIN IMMEDIATE" : "BEGIN");
    if (rc != SQLITE_DONE) {
        NoteFailure("it could not be locked");
        return FromSqlite(rc);
    }
    m_txDepth = 1;
    m_txFailed = false;
    m_txReadOnly = !write;
    return Status::Ok;
}

Status Store::BeginRead() {
    if (!EnsureOpen(false)) {
        return Status::NotFound; // nothing stored: there is nothing to hold still
    }
    if (m_txDepth > 0) {
        ++m_txDepth;
        return Status::Ok;
    }
    if (Step("BEGIN") != SQLITE_DONE) {
        return Status::Unavailable;
    }
    // A deferred transaction takes its snapshot at its first read: asking SQLite for the
    // generation here is that read, so that what the caches hold and the snapshot agree.
    m_walHeaderValid = false;
    Generation();
    m_txDepth = 1;
    m_txFailed = false;
    m_txReadOnly = true;
    return Status::Ok;
}

void Store::EndRead() {
    if (m_txDepth == 0 || --m_txDepth > 0) {
        return;
    }
    Step("COMMIT");
    m_txReadOnly = false;
}

Status Store::End(Status status) {
    if (m_txDepth == 0) {
        return status;
    }
    if (status != Status::Ok && status != Status::NotFound) {
        m_txFailed = true;
    }
    if (--m_txDepth > 0) {
        return status;
    }
    if (m_txFailed) {
        NoteFailure("the change was refused");
        Exec("ROLLBACK");
        ForgetCaches();
        return status == Status::Ok ? Status::Unavailable : status;
    }
    if (!m_txReadOnly && Replaced()) {
        // Nothing lost, nothing reported done that was not: committed, the change would land in
        // a file no longer at the path, saved for nobody.
        m_lastError = "the file was replaced while the change was being made";
        Exec("ROLLBACK");
        Close();
        return Status::Unavailable;
    }
    const int rc = Step("COMMIT");
    if (rc != SQLITE_DONE) {
        NoteFailure("the change could not be committed");
        Exec("ROLLBACK");
        ForgetCaches();
        return FromSqlite(rc);
    }
    if (!m_txReadOnly && !m_memory) {
        // A log left with changes by a program that was killed is read over whatever file is at
        // the path when the store is opened next, a restored one included. Emptied after every
        // change, it holds no more than the change being made. Without waiting: while another
        // program still reads from the log, the next change empties it.
        sqlite3_busy_handler(m_db, nullptr, nullptr);
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        sqlite3_busy_handler(m_db, WaitForLock, this);
    }
    return status;
}

void Store::NoteFailure(const char* fallback) {
    const int code = m_db != nullptr ? sqlite3_errcode(m_db) : SQLITE_OK;
    m_lastError = code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE
                      ? ErrorText(m_db, m_locksRefused)
                      : fallback;
}

Status Store::BeginWrite() {
    if (!EnsureOpen(true)) {
        m_lastError = m_unusable.empty() ? "it cannot be opened" : m_unusable;
        return Status::Unavailable;
    }
    return Begin(true);
}

Status Store::Commit() {
    return End(Status::Ok);
}

void Store::Rollback() {
    if (m_txDepth > 0) {
        m_txFailed = true;
        End(Status::Unavailable);
    }
}

Status Store::FindChild(KeyId parent, const std::string& fold, KeyId* out) {
    sqlite3_stmt* stmt = Prepare("SELECT id FROM keys WHERE parent=?1 AND fold=?2");
    if (stmt == nullptr) {
        return Status::Unavailable;
    }
    sqlite3_bind_int64(stmt, 1, parent);
    sqlite3_bind_blob(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    Status status = Status::NotFound;
    if (rc == SQLITE_ROW) {
        *out = sqlite3_column_int64(stmt, 0);
        status = Status::Ok;
    } else if (rc != SQLITE_DONE) {
        status = FromSqlite(rc);
    }
    sqlite3_reset(stmt);
    return status;
}

Status Store::MissingIn(KeyId key) {
    return key == kRootKey || KeyExists(key) ? Status::NotFound : Status::KeyDeleted;
}

bool Store::KeyExists(KeyId key) {
    sqlite3_stmt* stmt = Prepare("SELECT 1 FROM keys WHERE id=?1");
    if (stmt == nullptr) {
        return false;
    }
    sqlite3_bind_int64(stmt, 1, key);
    const bool exists = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_reset(stmt);
    return exists;
}

Status Store::FindKey(KeyId parent, const std::vector<std::string>& path, KeyId* out) {
    if (path.empty()) {
        *out = parent;
        return Status::Ok;
    }
    if (!EnsureOpen(false)) {
        return Status::NotFound;
    }
    Refresh();
    return Resolve(parent, path, out);
}

Status Store::Resolve(KeyId parent, const std::vector<std::string>& path, KeyId* out) {
    // Each step is remembered (a missing one as 0) until the store changes, so that the many
    // reads below one section cost no query for their path.
    bool began = false;
    int misses = 0;
    Status status = Status::Ok;
    KeyId current = parent;
    std::string cacheKey;
    for (const auto& part : path) {
        if (const KeyId listed = NextListed(current, part); listed != 0) {
            current = listed;
            continue;
        }
        cacheKey.assign(reinterpret_cast<const char*>(&current), sizeof current);
        cacheKey += FoldOf(part);
        if (auto it = m_childCache.find(cacheKey); it != m_childCache.end()) {
            current = it->second;
            if (current == 0) {
                status = Status::NotFound;
                break;
            }
            continue;
        }
        // A single step needs no transaction of its own; several are read in one.
        if (!began && ++misses > 1) {
            status = Begin(false);
            if (status != Status::Ok) {
                return status;
            }
            began = true;
        }
        KeyId child = 0;
        status = FindChild(current, cacheKey.substr(sizeof current), &child);
        if (status == Status::Ok || status == Status::NotFound) {
            m_childCache.emplace(cacheKey, status == Status::Ok ? child : 0);
        }
        if (status != Status::Ok) {
            break;
        }
        current = child;
    }
    if (began) {
        status = End(status);
    }
    if (status == Status::Ok) {
        *out = current;
    }
    return status;
}

Status Store::CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId* out,
                        bool* created) {
    Status status = BeginWrite();
    if (status != Status::Ok) {
        return status;
    }
    *created = false;
    KeyId current = parent;
    if (!KeyExists(parent)) {
        status = Status::KeyDeleted;
    }
    for (const auto& part : path) {
        if (status != Status::Ok) {
            break;
        }
        const std::string fold = FoldOf(part);
        KeyId child = 0;
        status = FindChild(current, fold, &child);
        if (status == Status::NotFound) {
            sqlite3_stmt* stmt = Prepare("INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)");
            if (stmt == nullptr) {
                status = Status::Unavailable;
                break;
            }
            sqlite3_bind_int64(stmt, 1, current);
            sqlite3_bind_blob(stmt, 2, part.data(), static_cast<int>(part.size()), SQLITE_STATIC);
            sqlite3_bind_blob(stmt, 3, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
            const int rc = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            status = FromSqlite(rc);
            child = sqlite3_last_insert_rowid(m_db);
            *created = true;
        } else {
            *created = false;
        }
        current = child;
    }
    if (status == Status::Ok) {
        ForgetCaches();
    }
    status = End(status);
    if (status == Status::Ok) {
        *out = current;
    }
    return status;
}

Status Store::DeleteKey(KeyId parent, const std::string& name, bool recursive) {
    Status status = BeginWrite();
    if (status != Status::Ok) {
        return status;
    }
    KeyId child = 0;
    status = FindChild(parent, FoldOf(name), &child);
    if (status == Status::NotFound) {
        status = MissingIn(parent);
    }
    if (status == Status::Ok && !recursive) {
        sqlite3_stmt* stmt = Prepare("SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
        if (stmt == nullptr) {
            status = Status::Unavailable;
        } else {
            sqlite3_bind_int64(stmt, 1, child);
            if (sqlite3_step(stmt) == SQLITE_ROW) {
                status = Status::HasSubkeys;
            }
            sqlite3_reset(stmt);
        }
    }
    if (status == Status::Ok) {
        static const char* const kDeletes[] = {
            "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON "
            "k.parent=t.id) DELETE FROM vals WHERE key IN (SELECT id FROM t)",
            "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON "
            "k.parent=t.id) DELETE FROM keys WHERE id IN (SELECT id FROM t)",
        };
        for (const char* sql : kDeletes) {
            sqlite3_stmt* stmt = Prepare(sql);
            if (stmt == nullptr) {
                status = Status::Unavailable;
                break;
            }
            sqlite3_bind_int64(stmt, 1, child);
            const int rc = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            status = FromSqlite(rc);
            if (status != Status::Ok) {
                break;
            }
        }
        ForgetCaches();
    }
    // Not found is an answer, not a failure of the transaction.
    return End(status);
}

Status Store::SubkeyNames(KeyId key, Names* out) {
    static const Names kNone = std::make_shared<const std::vector<std::string>>();
    *out = kNone;
    if (!EnsureOpen(false)) {
        return key == kRootKey ? Status::Ok : Status::KeyDeleted;
    }
    Refresh();
    if (const auto cached = m_subkeyCache.find(key); cached != m_subkeyCache.end()) {
        m_cursorParent = key;
        m_cursor = &cached->second;
        m_cursorNext = 0;
        *out = cached->second.names;
        return Status::Ok;
    }
    sqlite3_stmt* stmt =
        Prepare("SELECT name, id, fold FROM keys WHERE parent=?1 ORDER BY lower(fold)");
    if (stmt == nullptr) {
        return Status::Unavailable;
    }
    sqlite3_bind_int64(stmt, 1, key);
    int rc;
    std::string cacheKey;
    auto names = std::make_shared<std::vector<std::string>>();
    std::vector<KeyId> ids;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
        names->emplace_back(blob != nullptr ? blob : "",
                            static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
        // A listing is usually followed by reads below each name: remember where they are.
        const auto* fold = static_cast<const char*>(sqlite3_column_blob(stmt, 2));
        cacheKey.assign(reinterpret_cast<const char*>(&key), sizeof key);
        cacheKey.append(fold != nullptr ? fold : "",
                        static_cast<std::size_t>(sqlite3_column_bytes(stmt, 2)));
        ids.push_back(sqlite3_column_int64(stmt, 1));
        m_childCache.insert_or_assign(cacheKey, ids.back());
    }
    sqlite3_reset(stmt);
    const Status status = FromSqlite(rc);
    if (status != Status::Ok) {
        return status;
    }
    if (names->empty() && MissingIn(key) == Status::KeyDeleted) {
        return Status::KeyDeleted;
    }
    Listing& listing = m_subkeyCache[key];
    listing = {std::move(names), std::move(ids)};
    m_cursorParent = key;
    m_cursor = &listing;
    m_cursorNext = 0;
    *out = listing.names;
    return Status::Ok;
}

Status Store::GetValue(KeyId key, const std::string& name, Value* out) {
    if (!EnsureOpen(false)) {
        return Status::NotFound;
    }
    Refresh();
    return Lookup(key, name, out);
}

Status Store::GetValueAt(KeyId parent, const std::vector<std::string>& path,
                         const std::string& name, Value* out) {
    if (!EnsureOpen(false)) {
        return Status::NotFound;
    }
    Refresh();
    KeyId key = parent;
    const Status status = Resolve(parent, path, &key);
    return status == Status::Ok ? Lookup(key, name, out) : status;
}

Status Store::ValuesAt(KeyId parent, const std::vector<std::string>& path,
                       const PackedValues** out) {
    static const PackedValues kNone;
    *out = &kNone;
    if (!EnsureOpen(false)) {
        return Status::NotFound;
    }
    Refresh();
    KeyId key = parent;
    Status status = Resolve(parent, path, &key);
    if (status == Status::Ok) {
        if (const PackedValues* values = CachedValues(key, &status)) {
            *out = values;
        }
    }
    return status;
}

const PackedValues* Store::CachedValues(KeyId key, Status* status) {
    if (auto cached = m_valueCache.find(key); cached != m_valueCache.end()) {
        return &cached->second;
    }
    // A key's values are read together: the stores read several values of one entry.
    PackedValues values;
    *status = QueryValues(key, &values);
    if (*status != Status::Ok) {
        return nullptr;
    }
    // What a map node and the block cost beside the bytes themselves, roughly.
    const std::size_t bytes = values.Bytes() + 96;
    if (m_valueCacheBytes + bytes > kValueCacheBytes) {
        m_uncachedValues = std::move(values);
        return &m_uncachedValues;
    }
    m_valueCacheBytes += bytes;
    return &(m_valueCache[key] = std::move(values));
}

Status Store::Lookup(KeyId key, const std::string& name, Value* out) {
    Status status = Status::Ok;
    const PackedValues* values = CachedValues(key, &status);
    if (values == nullptr) {
        return status;
    }
    const std::string fold = FoldOf(name);
    status = Status::NotFound;
    values->ForEach([&](std::string_view valueName, DWORD type, const BYTE* data, DWORD size) {
        if (status == Status::NotFound && FoldOf(valueName) == fold) {
            *out = Value{std::string(valueName), type, std::vector<BYTE>(data, data + size)};
            status = Status::Ok;
        }
    });
    return status;
}

Status Store::SetValue(KeyId key, const std::string& name, DWORD type, const BYTE* data,
                       std::size_t size) {
    Status status = BeginWrite();
    if (status != Status::Ok) {
        return status;
    }
    if (!KeyExists(key)) {
        return End(Status::KeyDeleted);
    }
    sqlite3_stmt* stmt =
        Prepare("INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data");
    if (stmt == nullptr) {
        return End(Status::Unavailable);
    }
    const std::string fold = FoldOf(name);
    static const BYTE kEmpty = 0;
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_blob(stmt, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_blob(stmt, 3, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
    sqlite3_bind_int64(stmt, 4, type);
    sqlite3_bind_blob(stmt, 5, data != nullptr ? data : &kEmpty, static_cast<int>(size),
                      SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    ForgetCaches();
    return End(FromSqlite(rc));
}

Status Store::DeleteValue(KeyId key, const std::string& name) {
    Status status = BeginWrite();
    if (status != Status::Ok) {
        return status;
    }
    sqlite3_stmt* stmt = Prepare("DELETE FROM vals WHERE key=?1 AND fold=?2");
    if (stmt == nullptr) {
        return End(Status::Unavailable);
    }
    const std::string fold = FoldOf(name);
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_blob(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    const bool removed = sqlite3_changes(m_db) > 0;
    sqlite3_reset(stmt);
    ForgetCaches();
    status = FromSqlite(rc);
    if (status == Status::Ok && !removed) {
        status = MissingIn(key);
    }
    return End(status);
}

Status Store::Values(KeyId key, std::vector<Value>* out) {
    out->clear();
    if (!EnsureOpen(false)) {
        return Status::Ok;
    }
    Refresh();
    Status status = Status::Ok;
    if (const PackedValues* values = CachedValues(key, &status)) {
        values->ForEach([out](std::string_view name, DWORD type, const BYTE* data, DWORD size) {
            out->push_back({std::string(name), type, std::vector<BYTE>(data, data + size)});
        });
    }
    return status;
}

Status Store::QueryValues(KeyId key, PackedValues* out) {
    *out = PackedValues();
    sqlite3_stmt* stmt =
        Prepare("SELECT name, type, data FROM vals WHERE key=?1 ORDER BY lower(fold)");
    if (stmt == nullptr) {
        return Status::Unavailable;
    }
    sqlite3_bind_int64(stmt, 1, key);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* name = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
        const auto nameSize = static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0));
        const auto type = static_cast<DWORD>(sqlite3_column_int64(stmt, 1));
        const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(stmt, 2));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, 2));
        out->Add(std::string_view(name != nullptr ? name : "", name != nullptr ? nameSize : 0),
                 type, data, data != nullptr ? size : 0);
    }
    sqlite3_reset(stmt);
    const Status status = FromSqlite(rc);
    return status == Status::Ok && out->Empty() && MissingIn(key) == Status::KeyDeleted
               ? Status::KeyDeleted
               : status;
}

} // namespace registry
