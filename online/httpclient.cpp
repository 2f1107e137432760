#include "online/httpclient.h"

#include "online/curltransfer.h"
#include "online/postedcall.h"

#include <QEventLoop>
#include <QIODevice>

#include <memory>
#include <mutex>
#include <thread>

namespace kestrova {

namespace {

// What a failed transfer is called when no reply said otherwise.
QString failureReason(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return QStringLiteral("Host not found");
    case CURLE_COULDNT_CONNECT: return QStringLiteral("Connection refused");
    case CURLE_ABORTED_BY_CALLBACK: return QStringLiteral("Connection aborted");
    default: return QString::fromUtf8(curl_easy_strerror(code));
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
    CURLcode result = CURLE_OK;
    long status = 0;
    QByteArray reason;

    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        auto* job = static_cast<Job*>(self);
        const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
        if (line.startsWith("HTTP/")) {
            // "HTTP/1.0 404 Not Found": the code, then the reason.
            const QList<QByteArray> parts = line.split(' ');
            job->status = parts.size() > 1 ? parts[1].toLong() : 0;
            job->reason = line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1).trimmed();
            if (parts.size() < 3)
                job->reason.clear();
        }
        return size * count;
    }

    // With a status of 400 or more the body is not taken: the transfer ends.
    static size_t onBody(char* data, size_t size, size_t count, void* self)
    {
        auto* job = static_cast<Job*>(self);
        if (job->status >= 400)
            return 0;
        bool first = false;
        {
            std::lock_guard guard(job->lock);
            first = job->pending.isEmpty();
            job->pending.append(data, static_cast<qsizetype>(size * count));
        }
        // One report per batch: the UI thread takes whatever has gathered.
        if (first)
            job->post([](THttpClient* client, Job& shared) { client->writePending(shared); });
        return size * count;
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
    CurlTransfer transfer;
    CURL* curl = transfer.handle();
    const QByteArray url = url_.toUtf8();
    const QByteArray agent = agent_.toLatin1();
    curl_slist* headers = curl_slist_append(nullptr, ("Accept: " + accept_.toLatin1()).constData());
    if (noCache_)
        headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    if (!agent.isEmpty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Job::onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, job.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Job::onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, job.get());

    running_ = true;
    transfer_ = &transfer;
    statusCode_ = 0;
    reasonPhrase_.clear();
    writeError_.clear();
    QEventLoop loop;
    job->loop = &loop;
    std::thread worker([&transfer, job] {
        job->result = transfer.perform();
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
    curl_slist_free_all(headers);

    if (!writeError_.isEmpty())
        throw std::runtime_error("The download can't be written: " + writeError_.toStdString());
    if (!finished)
        throw EHttpError(0, failureReason(CURLE_ABORTED_BY_CALLBACK));
    statusCode_ = static_cast<int>(job->status);
    reasonPhrase_ = QString::fromLatin1(job->reason);
    if (job->status >= 400)
        throw EHttpError(statusCode_, reasonPhrase_.isEmpty() ? QStringLiteral("HTTP error %1").arg(statusCode_)
                                                               : reasonPhrase_);
    if (job->result != CURLE_OK)
        throw EHttpError(0, failureReason(job->result));
}

} // namespace kestrova
