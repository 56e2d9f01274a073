// Each object is a file named after it; a handle is an open descriptor holding a shared
// flock on it. The kernel drops the lock when the holder exits, so a killed holder leaves
// nothing that counts. A folder-wide exclusive lock serialises create, probe and the last
// close, which makes "already exists" atomic.
#include "platform/NamedObjects.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct NamedObject {
    int fd;
    std::string path;
};

namespace {

thread_local DWORD t_lastError = 0;

DWORD Fail(DWORD error) {
    t_lastError = error;
    return error;
}

bool TrustedFolder(const std::string& dir, std::string* whyNot) {
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) {
        *whyNot = dir + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        *whyNot = dir + " is a symbolic link";
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *whyNot = dir + " is not a folder";
        return false;
    }
    if (st.st_uid != geteuid()) {
        *whyNot = dir + " belongs to another user";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        *whyNot = dir + " is open to other users";
        return false;
    }
    return true;
}

// File names for object names: letters, digits, '-', '_' and '.' stay; every other byte,
// and a leading '.', is written as %XX, so any name maps to one file and back.
std::string Escape(const std::string& name) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || (c == '.' && i > 0);
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    // File names are limited to 255 bytes; a long name keeps a readable start and is told
    // apart from others by a hash of the whole.
    constexpr std::size_t kLongest = 200;
    if (out.size() > kLongest) {
        std::uint64_t hash = 14695981039346656037ULL;
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        out.resize(kLongest - 17);
        out += '~';
        for (int shift = 60; shift >= 0; shift -= 4) {
            out += kHex[(hash >> shift) & 15];
        }
    }
    return out;
}

class FolderLock {
public:
    explicit FolderLock(const std::string& dir) {
        m_fd = open((dir + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The system's limit (MAX_PATH), so that a name that works here works there.
constexpr std::size_t kLongestName = 260;

// True when some descriptor other than ours holds the file's lock.
bool HeldByOthers(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return true;
}

std::string ObjectPath(const char* kind, const char* name, DWORD* error) {
    if (name == nullptr || *name == '\0') {
        *error = ERROR_INVALID_HANDLE_OBJECT;
        return {};
    }
    if (std::strlen(name) >= kLongestName) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return {};
    }
    std::string whyNot;
    const std::string dir = NamedObjectFolder(&whyNot);
    if (dir.empty()) {
        *error = ERROR_ACCESS_DENIED_OBJECT;
        return {};
    }
    return dir + "/" + kind + "." + Escape(name);
}

// True when some descriptor holds the object file at `path`.
bool Held(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    const bool held = HeldByOthers(fd);
    close(fd);
    return held;
}

// The file of the same name for the other kind of object.
std::string OtherKind(const std::string& path, const char* otherKind) {
    const auto slash = path.find_last_of('/');
    return path.substr(0, slash + 1) + otherKind + path.substr(path.find('.', slash + 1));
}

HANDLE Create(const char* kind, const char* otherKind, const char* name) {
    if (name != nullptr && *name == '\0') {
        t_lastError = 0;
        return new NamedObject{-1, {}};
    }
    DWORD error = 0;
    const std::string path = ObjectPath(kind, name, &error);
    if (path.empty()) {
        Fail(error);
        return nullptr;
    }
    FolderLock guard(path.substr(0, path.find_last_of('/')));
    if (!guard.Held()) {
        Fail(ERROR_ACCESS_DENIED_OBJECT);
        return nullptr;
    }
    if (Held(OtherKind(path, otherKind))) {
        Fail(ERROR_INVALID_HANDLE_OBJECT);
        return nullptr;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        Fail(ERROR_ACCESS_DENIED_OBJECT);
        return nullptr;
    }
    const bool existed = HeldByOthers(fd);
    if (flock(fd, LOCK_SH) != 0) {
        close(fd);
        Fail(ERROR_ACCESS_DENIED_OBJECT);
        return nullptr;
    }
    t_lastError = existed ? ERROR_ALREADY_EXISTS : 0;
    return new NamedObject{fd, path};
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}

std::string NamedObjectFolder(std::string* whyNot) {
    std::string reason;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir;
    if (runtime != nullptr && *runtime != '\0') {
        if (!TrustedFolder(runtime, &reason)) {
            if (whyNot != nullptr) {
                *whyNot = reason;
            }
            return {};
        }
        dir = std::string(runtime) + "/quorvel-objects";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = (tmp != nullptr && *tmp == '/') ? tmp : "/tmp";
        dir = base + "/quorvel-objects-" + std::to_string(geteuid());
    }
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (whyNot != nullptr) {
            *whyNot = dir + ": " + std::strerror(errno);
        }
        return {};
    }
    if (!TrustedFolder(dir, &reason)) {
        if (whyNot != nullptr) {
            *whyNot = reason;
        }
        return {};
    }
    return dir;
}

HANDLE CreateEventA(void*, BOOL, BOOL, const char* lpName) {
    return Create("event", "mutex", lpName);
}

HANDLE CreateMutexA(void*, BOOL, const char* lpName) {
    return Create("mutex", "event", lpName);
}

HANDLE OpenEventA(DWORD, BOOL, const char* lpName) {
    DWORD error = 0;
    const std::string path = ObjectPath("event", lpName, &error);
    if (path.empty()) {
        Fail(error);
        return nullptr;
    }
    FolderLock guard(path.substr(0, path.find_last_of('/')));
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        Fail(Held(OtherKind(path, "mutex")) ? ERROR_INVALID_HANDLE_OBJECT
                                            : ERROR_FILE_NOT_FOUND_OBJECT);
        return nullptr;
    }
    if (!HeldByOthers(fd)) {
        // Left by a holder that was killed: nobody holds it, so it does not exist.
        if (guard.Held()) {
            unlink(path.c_str());
        }
        close(fd);
        Fail(ERROR_FILE_NOT_FOUND_OBJECT);
        return nullptr;
    }
    if (flock(fd, LOCK_SH) != 0) {
        close(fd);
        Fail(ERROR_FILE_NOT_FOUND_OBJECT);
        return nullptr;
    }
    t_lastError = 0;
    return new NamedObject{fd, path};
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == nullptr) {
        return FALSE;
    }
    if (hObject->fd >= 0) {
        FolderLock guard(hObject->path.substr(0, hObject->path.find_last_of('/')));
        // The last holder removes the file, so that the folder does not fill up with names.
        if (guard.Held() && flock(hObject->fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(hObject->path.c_str());
        }
        close(hObject->fd);
    }
    delete hObject; // an unnamed object has no file
    return TRUE;
}
