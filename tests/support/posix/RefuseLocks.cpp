// Loaded with LD_PRELOAD in front of a program: every file lock is refused with "No locks
// available", as on a network mount without its lock service.
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>

namespace {

using Fcntl = int (*)(int, int, ...);

int Refuse(Fcntl real, int fd, int cmd, void* arg) {
    switch (cmd) {
    case F_GETLK:
    case F_SETLK:
    case F_SETLKW:
    case F_OFD_GETLK:
    case F_OFD_SETLK:
    case F_OFD_SETLKW:
        errno = ENOLCK;
        return -1;
    default:
        return real(fd, cmd, arg);
    }
}

void* Argument(va_list args) {
    return va_arg(args, void*);
}

} // namespace

extern "C" int fcntl(int fd, int cmd, ...) {
    static const auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, "fcntl"));
    va_list args;
    va_start(args, cmd);
    void* arg = Argument(args);
    va_end(args);
    return Refuse(real, fd, cmd, arg);
}

extern "C" int fcntl64(int fd, int cmd, ...) {
    static const auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, "fcntl64"));
    va_list args;
    va_start(args, cmd);
    void* arg = Argument(args);
    va_end(args);
    return Refuse(real, fd, cmd, arg);
}
