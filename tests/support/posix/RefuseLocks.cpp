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

} // namespace

// The call under each name the C library gives it.
#define QPM_REFUSING_LOCKS(name)                                                                   \
    extern "C" int name(int fd, int cmd, ...) {                                                    \
        static const auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, #name));                 \
        va_list args;                                                                              \
        va_start(args, cmd);                                                                       \
        void* arg = va_arg(args, void*);                                                           \
        va_end(args);                                                                              \
        return Refuse(real, fd, cmd, arg);                                                         \
    }

QPM_REFUSING_LOCKS(fcntl)
QPM_REFUSING_LOCKS(fcntl64)
