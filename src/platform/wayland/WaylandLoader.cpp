// Finds and loads the Wayland clipboard plug-in (see WaylandPlugin.h).
#include "platform/wayland/WaylandPlugin.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

std::string LastLoadError() {
    const char* error = dlerror();
    return error != nullptr ? error : "unknown error";
}

} // namespace

WaylandWatcher LoadWaylandClipboard(IClipboard& keyboard) {
    WaylandWatcher watcher;
    // The program's own path, not a fixed prefix: the installed tree may be under /usr,
    // /usr/local or ~/.local alike.
    char program[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        watcher.problem = std::string("the program's own path is unknown (/proc/self/exe: ") +
                          std::strerror(errno) + ")";
        return watcher;
    }
    std::string folder(program, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    void* module = nullptr;
    for (const std::string& path :
         {folder + QPM_WAYLAND_PLUGIN_FROM_PROGRAM, folder + QPM_WAYLAND_PLUGIN_NAME}) {
        // Every symbol now, so that a plug-in that does not fit fails here and says why.
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) {
            break;
        }
        watcher.problem += (watcher.problem.empty() ? "" : "; ") + LastLoadError();
    }
    if (module == nullptr) {
        return watcher;
    }
    // Never closed: the watcher's code and the protocol's name live in it.
    const auto connect =
        reinterpret_cast<WaylandConnectFunction>(dlsym(module, kWaylandConnectSymbol));
    if (connect == nullptr) {
        watcher.problem = LastLoadError();
        return watcher;
    }
    watcher.problem.clear();
    watcher.clipboard.reset(connect(&keyboard, &watcher.protocol));
    return watcher;
}
