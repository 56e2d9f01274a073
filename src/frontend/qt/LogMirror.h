// The log's lines on an output of the user's (a terminal, a pipe), written by a thread of its
// own: an output that stops draining (a terminal paused with Ctrl+S, a pipe nobody reads) must
// never hold up the program. While it does not drain, a bounded number of lines waits; older ones
// are dropped, and one line "... N lines dropped" stands in their place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

class CLogMirror {
public:
    static constexpr std::size_t kMaxLines = 1000;
    static constexpr std::size_t kMaxBytes = std::size_t{1} << 20;

    // From here on `out` is written by the mirror alone, unbuffered.
    explicit CLogMirror(std::FILE* out, std::size_t maxLines = kMaxLines,
                        std::size_t maxBytes = kMaxBytes);
    // Gives what waits up to a second to go out, then leaves a writer that is still stuck behind.
    ~CLogMirror();
    CLogMirror(const CLogMirror&) = delete;
    CLogMirror& operator=(const CLogMirror&) = delete;

    // Queues `text` (whole lines) and returns at once.
    void Write(std::string text);

    struct Queue;

private:
    std::shared_ptr<Queue> m_queue;
};
