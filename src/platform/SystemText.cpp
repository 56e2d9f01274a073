#include "platform/SystemText.h"

#include "platform/Text.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>
#endif

std::filesystem::path NativePath(const std::string& utf8) {
#ifdef _WIN32
    return std::filesystem::path(text::ToWide(utf8));
#else
    return std::filesystem::path(utf8);
#endif
}

std::string Utf8Path(const std::filesystem::path& path) {
#ifdef _WIN32
    return text::FromWide(path.native());
#else
    return path.native();
#endif
}

std::FILE* OpenFile(const std::string& utf8, const char* mode) {
#ifdef _WIN32
    return _wfopen(text::ToWide(utf8).c_str(), text::ToWide(mode).c_str());
#else
    return std::fopen(utf8.c_str(), mode);
#endif
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        arguments.push_back(text::FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}
