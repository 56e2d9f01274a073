// The transfers the client's bulk helpers left unfinished: one subkey per entry below
// HKEY_CURRENT_USER\Software\Marrowfen\QUORVEL PRO\CurrentVersion\KTXfer\DB, named by its id,
// holding "DBVER" (2), "DataSize" (800) and "Data" (TRANSFERDATA). The helpers write the
// entries; the Monitor only counts, lists, reads and deletes them, afresh on every call.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CWinApp;

// The helpers' record. Only the first field means anything to the Monitor; the rest is theirs.
struct TRANSFERDATA {
    static constexpr std::size_t kSize = 800;
    BYTE bytes[kSize];

    // Non-zero for a download, zero for an upload; stored little-endian whatever the host.
    DWORD bDownload() const {
        return static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
               (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    }
};
static_assert(sizeof(TRANSFERDATA) == TRANSFERDATA::kSize);

// An entry's three values as Read sees them; absent or mistyped integers read as 0.
struct TRANSFERENTRY {
    UINT nVersion = 0;
    UINT nDataSize = 0;
    std::unique_ptr<BYTE[]> pData;
    UINT nDataBytes = 0;
};

// One subkey of the database as the resume flow judges it.
struct TRANSFERSUBKEY {
    std::string strName;
    // The entry id the name stands for; 0 when it is not an id written plainly ("7", not "07"
    // or "7x"), since resuming reaches an entry only through its id.
    int nId = 0;
    // Why resuming would skip it; empty when Read accepts it.
    std::string strRefusal;
};

class CTransferResumeDB {
public:
    static constexpr const char* kSection = "CurrentVersion\\KTXfer\\DB";
    static constexpr const char* kKeyPath =
        "Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\KTXfer\\DB";
    static constexpr UINT kVersion = 2;

    explicit CTransferResumeDB(CWinApp* pApp = nullptr); // null: the running application
    virtual ~CTransferResumeDB() = default;

    // The record of an entry with version 2, "DataSize" 800 and that many bytes of "Data";
    // null otherwise, and the entry stays.
    std::unique_ptr<TRANSFERDATA> Read(int id);
    // FALSE when nothing was deleted (no such entry, or the store refused).
    BOOL Delete(int id);
    // Deletes the subkey of exactly that name, which need not be an id.
    BOOL DeleteSubkey(const std::string& name);
    // FALSE when the store refused; then every entry is still there. With `only`, forgets just
    // the entries of those subkey names (the ones a question was about).
    BOOL DeleteAll(const std::vector<std::string>* only = nullptr);
    // Counts the entries of version 2 and deletes the others.
    int CountValid();
    // Every subkey in enumeration order, each judged as Read would judge it, so that what
    // cannot be resumed can be named and explained.
    std::vector<TRANSFERSUBKEY> ListEntries();

    // The values Read judges; FALSE when the profile cannot reach the database.
    BOOL ReadEntry(int id, TRANSFERENTRY& entry);
    // Why Read refuses an entry, or empty when it accepts it.
    static std::string Refusal(const TRANSFERENTRY& entry);

private:
    // The profile must be rooted where the raw registry calls look, or a read would judge a
    // different key from the one a delete removes.
    BOOL ProfileReachesDatabase() const;

    CWinApp* m_pApp;
};

// What resuming an entry starts: the helper in the client folder and its argument.
struct RESUMETARGET {
    std::string file;
    std::string parameters;
};
constexpr const char* kDownloadHelper = "KettrinDL.exe";
constexpr const char* kUploadHelper = "KettrinUL.exe";
RESUMETARGET GetResumeTarget(const std::string& clientFolder, int id, const TRANSFERDATA& data);
