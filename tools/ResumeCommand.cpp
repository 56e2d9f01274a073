#include "Command.h"

namespace ctl {
int RunResume(const Args&) {
    return Fail("resume: not built yet");
}
} // namespace ctl
