#include "Command.h"

namespace ctl {
int RunImport(const Args&) {
    return Fail("import: not built yet");
}
int RunExport(const Args&) {
    return Fail("export: not built yet");
}
} // namespace ctl
