// resume list [--json] | forget ID | forget --all: the interrupted transfers as the Monitor
// sees them, through the Monitor's own store.
#include "Command.h"
#include "app/MonitorApp.h"
#include "resume/TransferResumeDB.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace ctl {
namespace {

constexpr const char* kUsage =
    "usage: quorvel-monitorctl resume list [--json]\n"
    "       quorvel-monitorctl resume forget ID\n"
    "       quorvel-monitorctl resume forget --all\n"
    "\n"
    "list    every entry with its version, whether the Monitor can read\n"
    "        it (and why not), and the helper and argument resuming\n"
    "        would start; the Monitor starts them from the last to the "
    "first\n"
    "forget  delete one entry, or all of them, as declining does\n";

struct CProfile : CWinApp {
    CProfile() { UseMonitorProfile(*this); }
};

struct Row {
    int id = 0;
    std::optional<UINT> version;
    const char* refusal = nullptr;
    std::optional<RESUMETARGET> target;
    bool download = false;
};

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ClientFolder() {
    std::string folder;
    CMonitorApp::ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", folder);
    if (folder.empty() || folder.back() != kFolderSeparator) {
        folder += kFolderSeparator;
    }
    return folder;
}

std::vector<Row> Rows(CTransferResumeDB& db) {
    std::vector<Row> rows;
    const auto list = db.GetIdList();
    if (list == nullptr) {
        return rows;
    }
    const std::string folder = ClientFolder();
    for (const UINT value : *list) {
        Row row;
        row.id = static_cast<int>(value);
        if (row.id < 1) {
            row.refusal = "name is not an entry id";
            rows.push_back(row);
            continue;
        }
        TRANSFERENTRY entry;
        db.ReadEntry(row.id, entry);
        row.version = entry.nVersion;
        row.refusal = CTransferResumeDB::Refusal(entry);
        if (const auto record = db.Read(row.id)) {
            row.target = GetResumeTarget(folder, row.id, *record);
            row.download = record->bDownload() != 0;
        } else if (row.refusal == nullptr) {
            row.refusal = "changed while being read";
        }
        rows.push_back(row);
    }
    return rows;
}

int List(bool json) {
    CProfile profile;
    CTransferResumeDB db(&profile);
    const std::vector<Row> rows = Rows(db);
    if (json) {
        std::printf("[");
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            std::printf("%s{\"id\":%d,\"version\":%s,\"readable\":%s,\"reason\":%s,\"kind\":%s,"
                        "\"helper\":%s,\"argument\":%s}",
                        i > 0 ? "," : "", r.id,
                        r.version ? std::to_string(*r.version).c_str() : "null",
                        r.target ? "true" : "false",
                        r.refusal != nullptr ? Json(r.refusal).c_str() : "null",
                        r.target ? (r.download ? "\"download\"" : "\"upload\"") : "null",
                        r.target ? Json(r.target->file).c_str() : "null",
                        r.target ? Json(r.target->parameters).c_str() : "null");
        }
        std::printf("]\n");
        return kOk;
    }
    for (const Row& r : rows) {
        std::printf("%d\t", r.id);
        if (r.version) {
            std::printf("version %u\t", *r.version);
        } else {
            std::printf("-\t");
        }
        if (r.target) {
            std::printf("%s\t%s %s\n", r.download ? "download" : "upload", r.target->file.c_str(),
                        r.target->parameters.c_str());
        } else {
            std::printf("not readable: %s\n", r.refusal);
        }
    }
    return kOk;
}

bool EntryExists(int id) {
    CRegKey key;
    const std::string path = std::string(CTransferResumeDB::kKeyPath) + "\\" + std::to_string(id);
    return key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

int Forget(const std::string& what) {
    CProfile profile;
    CTransferResumeDB db(&profile);
    if (what == "--all") {
        db.DeleteAll();
        return kOk;
    }
    errno = 0;
    char* end = nullptr;
    const long id = std::strtol(what.c_str(), &end, 10);
    if (what.empty() || *end != '\0' || errno != 0 || id < 1 || id > 0x7FFFFFFF) {
        return Fail("resume forget: '" + what + "' is not an entry id (a number from 1)");
    }
    if (!EntryExists(static_cast<int>(id))) {
        std::fprintf(stderr, "quorvel-monitorctl: resume forget: no entry %ld\n", id);
        return kFalse;
    }
    db.Delete(static_cast<int>(id));
    if (EntryExists(static_cast<int>(id))) {
        std::fprintf(stderr, "quorvel-monitorctl: resume forget: entry %ld could not be deleted\n",
                     id);
        return kFalse;
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
