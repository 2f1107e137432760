#include "online/fetchprocess.h"

#include "online/serverconfig.h"
#include "platform/programfolder.h"
#include "platform/spawnedprogram.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

namespace kestrova {

namespace {

using fetch::Outcome;
using fetch::Result;

Outcome failure(std::string text)
{
    return {Result::Failed, std::move(text)};
}

const Outcome stopped{Result::Stopped, "Stopped"};

} // namespace

FetchProcess::FetchProcess() = default;

FetchProcess::~FetchProcess()
{
    *alive_ = false;
    std::lock_guard lock(mailboxLock_);
    if (handlerDepth_ == 0) {
        readable_.reset();
        writable_.reset();
        guard_.reset();
    } else {
        // Destroyed from a handler, that is from inside a signal of one of
        // these: they go once that signal has returned.
        for (std::unique_ptr<QSocketNotifier>* notifier : {&readable_, &writable_}) {
            if (*notifier) {
                (*notifier)->setEnabled(false);
                notifier->release()->deleteLater();
            }
        }
        if (guard_) {
            guard_->stop();
            guard_.release()->deleteLater();
        }
    }
    program_.reset();
}

void FetchProcess::stop()
{
    stop_.store(true);
    std::lock_guard lock(mailboxLock_);
    if (guard_)
        QMetaObject::invokeMethod(
            guard_.get(),
            [this, alive = alive_] {
                if (*alive)
                    finish(stopped);
            },
            Qt::QueuedConnection);
}

std::filesystem::path FetchProcess::programPath()
{
    if (const char* chosen = std::getenv("KESTROVA_FETCH_PROGRAM"); chosen && *chosen)
        return chosen;
    const std::vector<std::filesystem::path> candidates = ProgramFolder::companionPaths(fetch::kProgramFile);
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return candidates.front();
}

void FetchProcess::start(const fetch::Request& request, Handler onHeader, Handler onBody, EndHandler onEnd)
{
    onHeader_ = std::move(onHeader);
    onBody_ = std::move(onBody);
    onEnd_ = std::move(onEnd);
    {
        std::lock_guard lock(mailboxLock_);
        guard_ = std::make_unique<QTimer>();
    }
    guard_->setSingleShot(true);
    QObject::connect(guard_.get(), &QTimer::timeout, guard_.get(),
                     [this] { finish({Result::TimedOut, "The transfer program stopped answering"}); });
    if (stop_.load())
        return finishSoon({Result::Stopped, "Stopped before it began"});
    const std::optional<QList<QByteArray>> routes = ServerConfig::connectRoutes();
    if (!routes)
        return finishSoon(failure("KESTROVA_CONNECT_TO is not a list of host:port:host:port routes; no request is sent"));
    fetch::Request routed = request;
    for (const QByteArray& route : *routes)
        routed.routes.push_back(route.toStdString());
    routed.connectTimeoutMs = ServerConfig::connectTimeoutMs();
    routed.idleTimeoutMs = ServerConfig::idleTimeoutMs();
    launch(std::move(routed));
}

void FetchProcess::launch(fetch::Request request)
{
    const std::string program = programPath().string();
    std::string error;
    program_ = SpawnedProgram::start(program, error);
    if (!program_)
        return finishSoon(failure("The transfer program " + program + " can't be started: " + error));
    toSend_ = fetch::encodeRequest(request);

    readable_ = std::make_unique<QSocketNotifier>(program_->socket(), QSocketNotifier::Read);
    QObject::connect(readable_.get(), &QSocketNotifier::activated, readable_.get(), [this] { readMore(); });
    writable_ = std::make_unique<QSocketNotifier>(program_->socket(), QSocketNotifier::Write);
    QObject::connect(writable_.get(), &QSocketNotifier::activated, writable_.get(), [this] { sendMore(); });

    // The program is silent while it connects and while the server is; longer
    // than both together, and it is stuck itself.
    const long long ownMs = static_cast<long long>(request.connectTimeoutMs) + request.idleTimeoutMs;
    const long long patienceMs = ownMs + std::min<long long>(ownMs, kGraceMs);
    guard_->setInterval(static_cast<int>(std::min<long long>(patienceMs, INT_MAX)));
    guard_->start();
    // The socket takes a whole request at once: the program can set off
    // before this thread's event loop next runs.
    sendMore();
}

fetch::Outcome FetchProcess::run(const fetch::Request& request, Handler onHeader, Handler onBody)
{
    // Made first: on a thread Qt did not start, it brings the event dispatcher
    // that the notifiers need.
    QEventLoop loop;
    std::optional<Outcome> outcome;
    start(request, std::move(onHeader), std::move(onBody), [&](const Outcome& end) {
        outcome = end;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    if (!outcome) {
        // The application is quitting.
        ended_ = true;
        program_.reset();
        outcome = stopped;
    }
    // They belong to this loop's thread, which may be about to end.
    dropWatchers();
    return *outcome;
}

void FetchProcess::dropWatchers()
{
    std::lock_guard lock(mailboxLock_);
    readable_.reset();
    writable_.reset();
    guard_.reset();
}

void FetchProcess::finishSoon(fetch::Outcome outcome)
{
    QMetaObject::invokeMethod(
        guard_.get(),
        [this, alive = alive_, outcome = std::move(outcome)] {
            if (*alive)
                finish(outcome);
        },
        Qt::QueuedConnection);
}

void FetchProcess::finish(fetch::Outcome outcome)
{
    if (ended_)
        return;
    ended_ = true;
    if (readable_)
        readable_->setEnabled(false);
    if (writable_)
        writable_->setEnabled(false);
    guard_->stop();
    // Ended before anyone hears of the end, so that no program outlives it.
    program_.reset();
    const std::shared_ptr<bool> alive = alive_;
    ++handlerDepth_;
    if (onEnd_)
        onEnd_(outcome);
    if (*alive)
        --handlerDepth_;
}

void FetchProcess::sendMore()
{
    if (ended_)
        return;
    if (stop_.load())
        return finish(stopped);
    const long written = program_->send(std::string_view(toSend_).substr(sent_));
    if (written == SpawnedProgram::kWouldBlock)
        return;
    if (written == SpawnedProgram::kBroken) {
        // What it said before it stopped reading is still to be read.
        requestLost_ = true;
        sent_ = toSend_.size();
    } else {
        sent_ += static_cast<std::size_t>(written);
    }
    if (sent_ >= toSend_.size())
        writable_->setEnabled(false);
}

void FetchProcess::readMore()
{
    if (ended_)
        return;
    if (stop_.load())
        return finish(stopped);
    char buffer[16 * 1024];
    const long got = program_->receive(buffer, sizeof buffer);
    if (got == SpawnedProgram::kWouldBlock)
        return;
    if (got == SpawnedProgram::kBroken)
        return finish(failure(requestLost_ && !answered_ ? "The transfer program ended before it had the request"
                                                         : "The transfer program ended without an answer"));
    guard_->start();
    frames_.append(std::string_view(buffer, static_cast<std::size_t>(got)));
    const std::shared_ptr<bool> alive = alive_;
    while (std::optional<fetch::Frame> frame = frames_.next()) {
        answered_ = true;
        switch (frame->tag) {
        case fetch::Tag::ReplyHeader:
        case fetch::Tag::ReplyBody: {
            const Handler& handler = frame->tag == fetch::Tag::ReplyHeader ? onHeader_ : onBody_;
            ++handlerDepth_;
            const bool taken = handler(frame->payload);
            if (!*alive)
                return;
            --handlerDepth_;
            if (ended_)
                return;
            if (!taken)
                return finish({Result::Refused, "The reply was turned down"});
            break;
        }
        case fetch::Tag::Outcome:
            if (std::optional<Outcome> outcome = fetch::decodeOutcome(frame->payload))
                return finish(*outcome);
            return finish(failure("The transfer program gave an unreadable outcome"));
        default: return finish(failure("The transfer program sent a frame of an unknown kind"));
        }
        if (stop_.load())
            return finish(stopped);
    }
    if (frames_.broken())
        finish(failure("The transfer program sent a frame longer than the protocol allows"));
}

} // namespace kestrova
