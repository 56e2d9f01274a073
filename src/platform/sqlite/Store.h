// The SQLite file behind one registry root. One connection per root per process, opened on
// first use and reused; every operation is one transaction, so other processes (the client,
// its helpers, the companion) always see whole changes.
//
// Files (each overridable by an environment variable naming the file itself):
//   HKEY_CURRENT_USER   $QUORVEL_REGISTRY_USER,    else $XDG_CONFIG_HOME/quorvel-registry/user.db
//                       (XDG_CONFIG_HOME defaults to ~/.config); folder 0700, file 0600.
//   HKEY_LOCAL_MACHINE  $QUORVEL_REGISTRY_MACHINE, else /var/lib/quorvel-registry/machine.db;
//                       folder 0755, file 0644 so that every user can read the client's folder;
//                       created on the first write only.
#pragma once

#include "platform/Types.h"
#include "platform/registry/RegistryTypes.h"
#include "platform/sqlite/PackedValues.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace registry {

std::string StorePath(Root root);

using KeyId = std::int64_t;
constexpr KeyId kRootKey = 1;

struct Value {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

class Store {
public:
    static Store& For(Root root);
    // Closes every connection; the next call opens them again from the current environment.
    static void CloseAll();

    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store();

    // Resolves `path` (components separated by backslashes, already validated) below `parent`.
    Status FindKey(KeyId parent, const std::vector<std::string>& path, KeyId* out);
    Status CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId* out, bool* created);
    Status DeleteKey(KeyId parent, const std::string& name, bool recursive);
    // A key's subkey names in enumeration order, shared with the cache: a key listed again
    // while the store is unchanged costs nothing.
    using Names = std::shared_ptr<const std::vector<std::string>>;
    Status SubkeyNames(KeyId key, Names* out);
    Status GetValue(KeyId key, const std::string& name, Value* out);
    // FindKey and GetValue in one call, checking the store for others' changes once.
    Status GetValueAt(KeyId parent, const std::vector<std::string>& path, const std::string& name,
                      Value* out);
    // The values of the key below `parent` at `path`, in name order, as held in the cache:
    // valid until the next call on this store.
    Status ValuesAt(KeyId parent, const std::vector<std::string>& path, const PackedValues** out);
    Status SetValue(KeyId key, const std::string& name, DWORD type, const BYTE* data,
                    std::size_t size);
    Status DeleteValue(KeyId key, const std::string& name);
    Status Values(KeyId key, std::vector<Value>* out);

    // Write transactions: every call above runs in one of its own, or joins the one that is
    // open, so a caller can make several changes all-or-nothing (see WriteTransaction).
    Status BeginWrite();
    Status Commit();
    void Rollback();
    // A read transaction: every read until EndRead sees one snapshot, and neither waits for a
    // writer nor holds one up. Joins the transaction already open; no write may start inside.
    Status BeginRead();
    void EndRead();

    // Changes whenever this store's contents may have changed, in this or another process.
    std::uint64_t Generation();

    // Which file is open, as the path led to it when it was opened; none for an empty
    // stand-in. A key's id names nothing in another file.
    struct FileId {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileId&) const = default;
    };
    // The file at the store's path may no longer be the one open: a restore or a sync tool
    // renames another over it, or the folder moves behind a symlink. Outside a transaction this
    // looks, and opens the file there now in place of one replaced; `always` before a change
    // or a transaction, else at most every 100 ms (a look costs a walk of the path, and a read
    // from the file replaced a moment ago is still a whole one, only older). Returns the file
    // open.
    FileId Current(bool always);
    FileId File() const { return m_file; }

    // True once the file turned out unusable (damaged, another program's, not openable) and an
    // empty stand-in answers instead; `why` names the file and what was wrong with it.
    bool Unusable(std::string* why = nullptr) const;
    // In plain words why the last write did not happen, so that it can be told to the user.
    const std::string& LastError() const { return m_lastError; }

private:
    explicit Store(Root root);
    // Lets go of the file; the next call opens the one at the path then.
    void Close();
    // True when the path no longer leads to the file open (or to none at all).
    bool Replaced() const;
    // Waits out another program's lock for up to a minute (SQLite's busy handler).
    static int WaitForLock(void* self, int attempt);
    bool EnsureOpen(bool forWrite);
    bool OpenFile(bool create);
    void OpenEmpty(const std::string& why);
    bool Initialise();
    // A store of an earlier version has its names folded again, in one transaction; false
    // when it cannot be written.
    bool RefoldNames();
    bool Refold(const std::string& table, const std::string& owner);
    // The fold every name comparison and the enumeration order use: the registry's, or ASCII
    // only for an earlier store this program could not bring up to date.
    std::string FoldOf(std::string_view name) const;
    bool SameFold(std::string_view a, std::string_view b) const;
    sqlite3_stmt* Prepare(const char* sql);
    bool Exec(const char* sql);
    Status Begin(bool write);
    Status End(Status status);
    Status FindChild(KeyId parent, const std::string& fold, KeyId* out);
    bool KeyExists(KeyId key);
    // NotFound for something missing in a live key, KeyDeleted when the key itself is gone.
    Status MissingIn(KeyId key);
    void ForgetCaches();
    void ClearCaches();
    // The child of `parent` named `name` when it is the next one of the listing handed out
    // last; 0 otherwise.
    KeyId NextListed(KeyId parent, const std::string& name);
    // Drops what is remembered of the store when another process (or this one) changed it.
    void Refresh();
    Status Resolve(KeyId parent, const std::vector<std::string>& path, KeyId* out);
    Status Lookup(KeyId key, const std::string& name, Value* out);
    // A key's values in name order, from the cache or read into it; null with `status` set
    // when they cannot be read.
    const PackedValues* CachedValues(KeyId key, Status* status);
    Status QueryValues(KeyId key, PackedValues* out);
    int Step(const char* sql);
    // Remembers the cause of a failed write from SQLite's last message.
    void NoteFailure(const char* fallback);
    // The first copy of the WAL index header (48 bytes), changed by every commit.
    struct WalHeader {
        unsigned char bytes[48];
        bool operator==(const WalHeader& other) const;
    };
    void MapWalIndex();
    bool ReadWalHeader(WalHeader* out) const;

    Root m_root;
    std::string m_path;
    sqlite3* m_db = nullptr;
    FileId m_file;
    int m_locksRefused = 0; // the system's error when the file system takes no locks
    std::chrono::steady_clock::time_point m_waitStart;
    std::chrono::steady_clock::time_point m_lastLook; // at the path, for a replaced file
    bool m_missing = false;   // machine file not there yet: reads see an empty store
    bool m_memory = false;    // damaged or unusable file: an empty store in memory
    bool m_asciiFold = false; // an earlier store, folded as it was written (see FoldOf)
    std::string m_unusable;   // why, when m_memory
    std::string m_lastError;
    int m_txDepth = 0;
    bool m_txFailed = false;
    bool m_txReadOnly = false; // the open transaction is a snapshot, not a write
    std::uint64_t m_ownWrites = 0;
    std::int64_t m_dataVersion = -1;
    struct CachedStatement {
        const char* sql;
        sqlite3_stmt* stmt;
    };
    std::vector<CachedStatement> m_statements;
    // What was read, valid while Generation() stays the same: child ids by parent and folded
    // name (0: no such child), and the values of the keys read first, up to a budget in bytes
    // (a pass over 100,000 queue entries fits). Past the budget further keys are read each
    // time and nothing is evicted: a pass walks the entries in one order, so a cache that made
    // room would miss on every entry, while this one costs only the keys beyond it.
    static constexpr std::size_t kValueCacheBytes = 64 << 20;
    std::unordered_map<std::string, KeyId> m_childCache;
    std::unordered_map<KeyId, PackedValues> m_valueCache;
    std::size_t m_valueCacheBytes = 0;
    PackedValues m_uncachedValues; // a key's values read past the budget
    struct Listing {
        Names names;
        std::vector<KeyId> ids;
    };
    std::unordered_map<KeyId, Listing> m_subkeyCache;
    // The listing handed out last and how far the reads below it have got: a pass reads the
    // subkeys it listed in that order, and finds each here without a lookup.
    KeyId m_cursorParent = 0;
    const Listing* m_cursor = nullptr;
    std::size_t m_cursorNext = 0;
    std::uint64_t m_cacheGeneration = ~0ULL;
    const void* m_walIndex = nullptr; // mapped and unmapped by SQLite
    bool m_walTried = false;
    WalHeader m_walHeader{};
    bool m_walHeaderValid = false;
};

// All-or-nothing changes to one store: rolled back unless Commit succeeds.
class WriteTransaction {
public:
    explicit WriteTransaction(Store& store) : m_store(store), m_status(store.BeginWrite()) {}
    ~WriteTransaction() {
        if (m_status == Status::Ok && !m_done) {
            m_store.Rollback();
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    Status Started() const { return m_status; }
    Status Commit() {
        m_done = true;
        return m_status == Status::Ok ? m_store.Commit() : m_status;
    }

private:
    Store& m_store;
    Status m_status;
    bool m_done = false;
};

} // namespace registry
