// A stand-in program for tests on every system. Steered by its environment, so that its
// arguments stay exactly what it was given:
//   QPM_RECORD=FILE       writes "cwd=<working folder>" and then "[<argument>]" per line to FILE
//   QPM_RECORD_HOLD=NAME  first creates the named event NAME and holds it until it exits; the
//                         record then starts with "first" or "existed"
//   QPM_RECORD_UNTIL=FILE stays until FILE exists (a minute at most)
//   QPM_RECORD_EXIT=N     exits with status N
// The record appears whole (written beside it, then renamed), so a test can wait for it.
#include "platform/NamedObjects.h"
#include "platform/SystemText.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    CHandle held;
    std::string record;
    if (const char* name = std::getenv("QPM_RECORD_HOLD")) {
        held = CHandle(CreateEventA(nullptr, FALSE, FALSE, name));
        record += !held ? "failed\n" : GetLastError() == 0 ? "first\n" : "existed\n";
    }
    if (const char* file = std::getenv("QPM_RECORD")) {
        std::error_code ec;
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string(...) for an
        // overlapping copy and fails the build (-Werror=restrict).
        record += "cwd=";
        record += Utf8Path(fs::current_path(ec));
        record += '\n';
        const auto arguments = ProgramArguments(argc, argv);
        for (std::size_t i = 1; i < arguments.size(); ++i) {
            record += '[';
            record += arguments[i];
            record += "]\n";
        }
        const std::string temporary = std::string(file) + ".tmp";
        std::ofstream(temporary, std::ios::binary) << record;
        fs::rename(temporary, file, ec);
    }
    if (const char* until = std::getenv("QPM_RECORD_UNTIL")) {
        for (int waited = 0; waited < 60000 && !fs::exists(until); waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const char* status = std::getenv("QPM_RECORD_EXIT");
    return status != nullptr ? std::atoi(status) : 0;
}
