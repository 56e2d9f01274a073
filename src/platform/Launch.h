// Starting other programs the way the shell's "open" verb does: a file and one parameter
// string, split into arguments by the Windows command-line rules, never through a shell.
#pragma once

#include <string>
#include <vector>

// Double quotes group (and are removed), 2n backslashes before a quote give n backslashes
// and the quote acts, 2n+1 give n backslashes and a literal quote, backslashes elsewhere are
// literal, and "" inside a quoted run is a literal quote. An unclosed quote runs to the end.
std::vector<std::string> SplitCommandLine(const std::string& parameters);

// The inverse for one argument, so that splitting gives it back: quoted when needed, or
// always when `alwaysQuote` is set.
std::string QuoteArgument(const std::string& argument, bool alwaysQuote = false);

// The system's folder separator ('/', or '\\' on Windows), which ends every client folder.
extern const char kFolderSeparator;

class IShellOpen {
public:
    virtual ~IShellOpen() = default;
    // Starts `file` with the parameter string (null for none). False, with a reason, when the
    // program could not be started.
    virtual bool Open(const std::string& file, const char* parameters,
                      std::string* error = nullptr) = 0;
};

// The real launcher: a detached child in a session of its own, standard streams on /dev/null,
// no inherited descriptors, reaped at once so it never lingers as a zombie, and free to
// outlive the caller.
IShellOpen& SystemShell();
