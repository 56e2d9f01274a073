#include "Command.h"

namespace ctl {
int RunSchedule(const Args&) {
    return Fail("schedule: not built yet");
}
} // namespace ctl
