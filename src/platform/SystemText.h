// File names and program arguments are UTF-8 here, as on Linux; on Windows they pass to and
// from the system through its wide calls (see Text.h), so that a folder named in any script is
// found.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// The system's form of a name, and back.
std::filesystem::path NativePath(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

// fopen for a UTF-8 name.
std::FILE* OpenFile(const std::string& utf8, const char* mode);

// The program's arguments, its own name first. (On Windows the C runtime's argv is in the ANSI
// code page; the system's own list is Unicode.)
std::vector<std::string> ProgramArguments(int argc, char** argv);
