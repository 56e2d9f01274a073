#include "Command.h"

namespace ctl {
int RunOpen(const Args&) {
    return Fail("open: not built yet");
}
} // namespace ctl
