#include "Command.h"

namespace ctl {
int RunEvent(const Args&) {
    return Fail("event: not built yet");
}
} // namespace ctl
