// AccessLog: one line per request in the common log format, written by a
// thread of its own, so that a slow or stuck reader of the log (a pipe nobody
// drains) never holds up a request: lines it cannot take are dropped and
// counted instead.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace kestrova::server {

struct AccessRecord {
    std::string host;          // empty: unknown
    std::string requestLine;   // empty: none could be read
    int status = 0;
    std::uint64_t bytes = 0;   // body bytes sent
    std::chrono::system_clock::time_point when;
};

// Every byte outside printable ASCII as \xHH, and " and \ with a backslash,
// so that nothing a client sends can end a log line or fake a field.
std::string escapeForLog(std::string_view text);

// host ident authuser [date] "request line" status bytes, without the line
// end. The date is in UTC, so that servers in several places agree.
std::string commonLogLine(const AccessRecord& record);

class AccessLog {
public:
    // "-" writes to stdout; anything else is a file, appended to and made when
    // missing. Throws std::runtime_error when the file cannot be opened.
    explicit AccessLog(const std::string& target);
    // Calls finish().
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    // Never waits for the output.
    void record(const AccessRecord& record);

    // Lines lost to a full queue or a failed output so far.
    std::uint64_t dropped();

    // Writes what is still queued, waiting at most a second for a reader
    // that takes nothing, and stops; later lines are dropped. Returns
    // dropped() as it then stands.
    std::uint64_t finish();

private:
    void writeQueued();
    std::size_t writeOut(std::string_view text);

    int fd_ = -1;
    bool ownsFd_ = false;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::string pending_;
    std::uint64_t dropped_ = 0;
    bool stopping_ = false;
    bool broken_ = false;
    std::chrono::steady_clock::time_point giveUpAt_;
    std::thread writer_;
};

} // namespace kestrova::server
