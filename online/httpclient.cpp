#include "online/httpclient.h"

#include "online/fetchprocess.h"
#include "online/postedcall.h"

#include <QEventLoop>
#include <QIODevice>

#include <memory>
#include <mutex>
#include <thread>

namespace kestrova {

namespace {

// What a failed transfer is called when no reply said otherwise.
QString failureReason(const fetch::Outcome& outcome)
{
    switch (outcome.result) {
    case fetch::Result::HostNotFound: return QStringLiteral("Host not found");
    case fetch::Result::ConnectionRefused: return QStringLiteral("Connection refused");
    case fetch::Result::Stopped: return QStringLiteral("Connection aborted");
    case fetch::Result::TimedOut: return QStringLiteral("Connection timed out");
    default: return QString::fromStdString(outcome.text);
    }
}

} // namespace

EHttpError::EHttpError(int statusCode, const QString& reason)
    : std::runtime_error(reason.toStdString()), statusCode_(statusCode)
{
}

// One Get's state, shared by the worker and the UI thread for as long as
// either still holds an event about it.
struct THttpClient::Job {
    std::mutex lock;
    QByteArray pending;     // body bytes the UI thread has not written yet
    // UI thread only.
    bool finished = false;        // the worker's last report has run
    QEventLoop* loop = nullptr;   // the Get still waiting for this job

    // Set before the worker starts; then the worker's until its transfer has ended.
    THttpClient* client = nullptr;
    fetch::Outcome outcome;
    long status = 0;
    QByteArray reason;

    bool onHeader(std::string_view text)
    {
        const QByteArray line = QByteArray(text.data(), static_cast<qsizetype>(text.size())).trimmed();
        if (line.startsWith("HTTP/")) {
            // "HTTP/1.0 404 Not Found": the code, then the reason.
            const QList<QByteArray> parts = line.split(' ');
            status = parts.size() > 1 ? parts[1].toLong() : 0;
            reason = line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1).trimmed();
            if (parts.size() < 3)
                reason.clear();
        }
        return true;
    }

    // With a status of 400 or more the body is not taken: the transfer ends.
    bool onBody(std::string_view data)
    {
        if (status >= 400)
            return false;
        bool first = false;
        {
            std::lock_guard guard(lock);
            first = pending.isEmpty();
            pending.append(data.data(), static_cast<qsizetype>(data.size()));
        }
        // One report per batch: the UI thread takes whatever has gathered.
        if (first)
            post([](THttpClient* client, Job& shared) { client->writePending(shared); });
        return true;
    }

    void post(void (*call)(THttpClient*, Job&));
    std::weak_ptr<Job> self;
};

void THttpClient::Job::post(void (*call)(THttpClient*, Job&))
{
    // The client outlives every Get, so it is still there to receive this;
    // the job is kept alive by the event itself.
    std::shared_ptr<Job> shared = self.lock();
    THttpClient* target = client;
    PostedCall::post(target, [target, shared, call] { call(target, *shared); });
}

THttpClient::THttpClient(QObject* parent) : QObject(parent) {}

THttpClient::~THttpClient()
{
    abort();
}

bool THttpClient::event(QEvent* event)
{
    if (event->type() != PostedCall::eventType())
        return QObject::event(event);
    static_cast<PostedCall*>(event)->run();
    return true;
}

void THttpClient::abort()
{
    if (transfer_)
        transfer_->stop();
}

void THttpClient::writePending(Job& job)
{
    QByteArray bytes;
    {
        std::lock_guard guard(job.lock);
        bytes.swap(job.pending);
    }
    // A report that comes after its Get has given up is dropped.
    if (!job.loop || bytes.isEmpty() || !stream_)
        return;
    // Not thrown from here: this runs as an event, inside the wait loop.
    if (stream_->write(bytes) != bytes.size()) {
        writeError_ = stream_->errorString();
        abort();
    }
}

void THttpClient::Get()
{
    if (running_)
        throw std::logic_error("THttpClient::Get is already running");

    auto job = std::make_shared<Job>();
    job->self = job;
    job->client = this;
    FetchProcess transfer;
    fetch::Request request;
    request.url = url_.toStdString();
    request.agent = agent_.toLatin1().toStdString();
    request.headers.push_back("Accept: " + accept_.toLatin1().toStdString());
    if (noCache_)
        request.headers.emplace_back("Pragma: no-cache");

    running_ = true;
    transfer_ = &transfer;
    statusCode_ = 0;
    reasonPhrase_.clear();
    writeError_.clear();
    QEventLoop loop;
    job->loop = &loop;
    std::thread worker([&transfer, &request, job] {
        job->outcome = transfer.run(
            request, [&job = *job](std::string_view line) { return job.onHeader(line); },
            [&job = *job](std::string_view piece) { return job.onBody(piece); });
        job->post([](THttpClient* client, Job& shared) {
            client->writePending(shared);
            shared.finished = true;
            if (shared.loop)
                shared.loop->quit();
        });
    });
    // Also ends when the application quits: that ends every event loop at once.
    loop.exec();
    job->loop = nullptr;
    const bool finished = job->finished;
    transfer.stop();
    worker.join();
    transfer_ = nullptr;
    running_ = false;

    if (!writeError_.isEmpty())
        throw std::runtime_error("The download can't be written: " + writeError_.toStdString());
    if (!finished)
        throw EHttpError(0, failureReason({fetch::Result::Stopped, {}}));
    statusCode_ = static_cast<int>(job->status);
    reasonPhrase_ = QString::fromLatin1(job->reason);
    if (job->status >= 400)
        throw EHttpError(statusCode_, reasonPhrase_.isEmpty() ? QStringLiteral("HTTP error %1").arg(statusCode_)
                                                               : reasonPhrase_);
    if (job->outcome.result != fetch::Result::Done)
        throw EHttpError(0, failureReason(job->outcome));
}

} // namespace kestrova
