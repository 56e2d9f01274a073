// resume list [--json] | forget NAME | forget --all: the interrupted transfers as the Monitor
// sees them, through the Monitor's own store.
#include "Command.h"
#include "Json.h"
#include "app/MonitorApp.h"
#include "resume/TransferResumeDB.h"

#include <cstdio>
#include <optional>

namespace ctl {
namespace {

constexpr const char* kUsage =
    "usage: quorvel-monitorctl resume list [--json]\n"
    "       quorvel-monitorctl resume forget NAME\n"
    "       quorvel-monitorctl resume forget --all\n"
    "\n"
    "list    every entry by its subkey name, with its version, whether the\n"
    "        Monitor can read it (and why not), and the helper and argument\n"
    "        resuming would start; the Monitor starts them from the last to\n"
    "        the first\n"
    "forget  delete the entry of that subkey name (the entry id for every\n"
    "        readable entry), or, as declining does, every entry named by an id\n";

struct CProfile : CWinApp {
    CProfile() { UseMonitorProfile(*this); }
};

struct Row {
    TRANSFERSUBKEY entry;
    std::optional<UINT> version;
    std::optional<RESUMETARGET> target;
    bool download = false;
};

// A subkey name for a line of text: control characters would break the line apart.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

std::vector<Row> Rows(CTransferResumeDB& db) {
    std::vector<Row> rows;
    const std::string folder = CMonitorApp::ReadClientFolder();
    for (TRANSFERSUBKEY& entry : db.ListEntries()) {
        Row& row = rows.emplace_back();
        row.entry = std::move(entry);
        const int id = row.entry.nId;
        if (id < 1) {
            continue;
        }
        TRANSFERENTRY values;
        db.ReadEntry(id, values);
        row.version = values.nVersion;
        if (!row.entry.strRefusal.empty()) {
            continue;
        }
        if (const auto record = db.Read(id)) {
            row.target = GetResumeTarget(folder, id, *record);
            row.download = record->bDownload() != 0;
        } else {
            row.entry.strRefusal = "changed while being read";
        }
    }
    return rows;
}

int List(bool json) {
    CProfile profile;
    CTransferResumeDB db(&profile);
    const std::vector<Row> rows = Rows(db);
    if (StoreUnreadable("resume list")) {
        return kBadInput;
    }
    if (json) {
        std::printf("[");
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const std::string& why = r.entry.strRefusal;
            std::printf("%s{\"subkey\":%s,\"id\":%s,\"version\":%s,\"readable\":%s,"
                        "\"reason\":%s,\"kind\":%s,\"helper\":%s,\"argument\":%s}",
                        i > 0 ? "," : "", JsonString(r.entry.strName).c_str(),
                        r.entry.nId > 0 ? std::to_string(r.entry.nId).c_str() : "null",
                        r.version ? std::to_string(*r.version).c_str() : "null",
                        r.target ? "true" : "false", why.empty() ? "null" : JsonString(why).c_str(),
                        r.target ? (r.download ? "\"download\"" : "\"upload\"") : "null",
                        r.target ? JsonString(r.target->file).c_str() : "null",
                        r.target ? JsonString(r.target->parameters).c_str() : "null");
        }
        std::printf("]\n");
        return kOk;
    }
    for (const Row& r : rows) {
        std::printf("%s\t", Printable(r.entry.strName).c_str());
        if (r.version) {
            std::printf("version %u\t", *r.version);
        } else {
            std::printf("-\t");
        }
        if (r.target) {
            std::printf("%s\t%s %s\n", r.download ? "download" : "upload", r.target->file.c_str(),
                        r.target->parameters.c_str());
        } else {
            std::printf("not readable: %s\n", r.entry.strRefusal.c_str());
        }
    }
    return kOk;
}

bool EntryExists(const std::string& name) {
    CRegKey key;
    const std::string path = std::string(CTransferResumeDB::kKeyPath) + "\\" + name;
    return key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

int Forget(const std::string& what) {
    CProfile profile;
    CTransferResumeDB db(&profile);
    if (what == "--all") {
        return db.DeleteAll() ? kOk : NotSaved("resume forget");
    }
    // Any name `list` shows, including those that are not ids, but one subkey of the database
    // only: a backslash would reach below it.
    if (what.empty() || what.find('\\') != std::string::npos) {
        return Fail("resume forget: '" + what + "' is not the name of an entry");
    }
    if (!EntryExists(what)) {
        std::fprintf(stderr, "quorvel-monitorctl: resume forget: no entry %s\n",
                     Printable(what).c_str());
        return kFalse;
    }
    if (!db.DeleteSubkey(what)) {
        return NotSaved("resume forget");
    }
    return kOk;
}

} // namespace

int RunResume(const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    if (!args.empty() && args[0] == "list" && args.size() <= 2) {
        if (args.size() == 1) {
            return List(false);
        }
        if (args[1] == "--json") {
            return List(true);
        }
    }
    if (args.size() == 2 && args[0] == "forget") {
        return Forget(args[1]);
    }
    if (args.empty()) {
        return Fail("resume: expected 'list' or 'forget' (try 'resume --help')");
    }
    return Fail("resume: expected list [--json], forget ID or forget --all (try 'resume --help')");
}

} // namespace ctl
