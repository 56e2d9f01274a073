#include "frontend/qt/LogMirror.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#endif

struct CLogMirror::Queue {
    std::FILE* out;
    std::size_t maxLines;
    std::size_t maxBytes;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    std::size_t bytes = 0;
    std::size_t dropped = 0;
    bool broken = false; // the output is gone (its reader closed it): nothing more is written
    bool stopping = false;
    bool finished = false;
};

namespace {

// False when the output is gone for good.
bool WriteAll(std::FILE* out, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        done += std::fwrite(text.data() + done, 1, text.size() - done, out);
        if (done < text.size()) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return false;
            }
            // An output someone else made non-blocking: wait here, in the writer, instead.
            std::clearerr(out);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return true;
}

std::string DroppedNote(std::size_t count) {
    return "... " + std::to_string(count) + (count == 1 ? " line" : " lines") + " dropped\n";
}

void WriteLoop(const std::shared_ptr<CLogMirror::Queue>& queue) {
    std::unique_lock lock(queue->mutex);
    while (true) {
        queue->changed.wait(
            lock, [&] { return !queue->lines.empty() || queue->dropped > 0 || queue->stopping; });
        if (queue->lines.empty() && queue->dropped == 0) {
            break;
        }
        std::string chunk;
        if (queue->dropped > 0) {
            chunk = DroppedNote(queue->dropped);
            queue->dropped = 0;
        }
        for (const std::string& line : queue->lines) {
            chunk += line;
        }
        queue->lines.clear();
        queue->bytes = 0;
        lock.unlock();
        const bool written = WriteAll(queue->out, chunk);
        lock.lock();
        if (!written) {
            queue->broken = true;
            queue->lines.clear();
            queue->bytes = 0;
            queue->dropped = 0;
            break;
        }
        queue->changed.notify_all();
    }
    queue->finished = true;
    queue->changed.notify_all();
}

} // namespace

CLogMirror::CLogMirror(std::FILE* out, std::size_t maxLines, std::size_t maxBytes)
    : m_queue(std::make_shared<Queue>()) {
    m_queue->out = out;
    m_queue->maxLines = maxLines;
    m_queue->maxBytes = maxBytes;
    // Unbuffered, so that what a write reports written is on its way.
    std::setvbuf(out, nullptr, _IONBF, 0);
#ifdef _WIN32
    std::thread(WriteLoop, m_queue).detach();
#else
    // Signals are the event loop's business: the writer, perhaps stuck in write(), takes none.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread(WriteLoop, m_queue).detach();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
#endif
}

CLogMirror::~CLogMirror() {
    std::unique_lock lock(m_queue->mutex);
    m_queue->stopping = true;
    m_queue->changed.notify_all();
    // A writer stuck on an output that does not drain stays behind, holding its own share of
    // the queue, and goes with the process.
    m_queue->changed.wait_for(lock, std::chrono::seconds(1), [&] { return m_queue->finished; });
}

void CLogMirror::Write(std::string text) {
    std::lock_guard lock(m_queue->mutex);
    if (m_queue->broken || m_queue->stopping) {
        return;
    }
    m_queue->bytes += text.size();
    m_queue->lines.push_back(std::move(text));
    while (m_queue->lines.size() > 1 &&
           (m_queue->lines.size() > m_queue->maxLines || m_queue->bytes > m_queue->maxBytes)) {
        m_queue->bytes -= m_queue->lines.front().size();
        m_queue->lines.pop_front();
        ++m_queue->dropped;
    }
    m_queue->changed.notify_all();
}
