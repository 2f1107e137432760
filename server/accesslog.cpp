// The common log format, and a queue drained by one writer thread.
#include "server/accesslog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kestrova::server {

namespace {

// Past this much waiting text, new lines are dropped: a reader that stalls
// must not let the server's memory grow without end.
constexpr std::size_t kMaxPending = 1 << 20;
// A pipe that reports room for writing takes at least this much at once.
constexpr std::size_t kChunk = 4096;
constexpr auto kFinalWait = std::chrono::seconds(1);

} // namespace

std::string escapeForLog(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            escaped += '\\';
            escaped += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string commonLogLine(const AccessRecord& record)
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = std::chrono::system_clock::to_time_t(record.when);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char date[40];
    std::snprintf(date, sizeof date, "[%02d/%s/%04d:%02d:%02d:%02d +0000]", utc.tm_mday, kMonths[utc.tm_mon],
                  utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::string line = record.host.empty() ? "-" : escapeForLog(record.host);
    line += " - - ";
    line += date;
    line += " \"";
    line += record.requestLine.empty() ? "-" : escapeForLog(record.requestLine);
    line += "\" ";
    line += std::to_string(record.status);
    line += ' ';
    line += record.bytes == 0 ? "-" : std::to_string(record.bytes);
    return line;
}

AccessLog::AccessLog(const std::string& target)
{
    if (target == "-") {
        fd_ = STDOUT_FILENO;
    } else {
        fd_ = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            throw std::runtime_error("cannot open the access log " + target + ": " + std::strerror(errno));
        ownsFd_ = true;
    }
    writer_ = std::thread(&AccessLog::writeQueued, this);
}

AccessLog::~AccessLog()
{
    finish();
    if (ownsFd_)
        ::close(fd_);
}

std::uint64_t AccessLog::finish()
{
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            stopping_ = true;
            giveUpAt_ = std::chrono::steady_clock::now() + kFinalWait;
        }
    }
    queued_.notify_one();
    if (writer_.joinable())
        writer_.join();
    std::lock_guard lock(mutex_);
    broken_ = true;   // nothing writes any more
    return dropped_;
}

void AccessLog::record(const AccessRecord& record)
{
    std::string line = commonLogLine(record);
    line += '\n';
    {
        std::lock_guard lock(mutex_);
        if (broken_ || pending_.size() + line.size() > kMaxPending) {
            ++dropped_;
            return;
        }
        pending_ += line;
    }
    queued_.notify_one();
}

std::uint64_t AccessLog::dropped()
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

void AccessLog::writeQueued()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty())
            return;
        std::string text;
        text.swap(pending_);
        lock.unlock();
        const std::size_t written = writeOut(text);
        lock.lock();
        if (written < text.size()) {
            // Whatever did not go out is lost; count it by its lines.
            broken_ = true;
            dropped_ += static_cast<std::uint64_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(written),
                                                              text.end(), '\n') +
                                                   std::count(pending_.begin(), pending_.end(), '\n'));
            pending_.clear();
        }
    }
}

// Waits for room before each write, so that the wait can end when the log
// stops, which a blocking write into a full pipe would not allow. Returns how
// much was written: less than all when the output failed or stayed full past
// the final wait.
std::size_t AccessLog::writeOut(std::string_view text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        pollfd room{fd_, POLLOUT, 0};
        const int ready = ::poll(&room, 1, 100);
        if (ready < 0 && errno != EINTR)
            return done;
        if (ready <= 0) {
            std::lock_guard lock(mutex_);
            if (stopping_ && std::chrono::steady_clock::now() > giveUpAt_)
                return done;
            continue;
        }
        const ssize_t wrote = ::write(fd_, text.data() + done, std::min(kChunk, text.size() - done));
        if (wrote < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (wrote <= 0)
            return done;
        done += static_cast<std::size_t>(wrote);
    }
    return done;
}

} // namespace kestrova::server
