#include "online/httpget.h"

#include "online/fetchprocess.h"
#include "online/postedcall.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaMethod>
#include <QPointer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace kestrova {

namespace {

struct HostAndPath {
    QString host;
    QString path;
};

// The first seven characters go whenever "http://" occurs anywhere in the
// URL, whatever they are; the host runs to the first "/". Without a "/" the
// host is empty and the fetch fails.
HostAndPath splitURL(const QString& url)
{
    const QString rest = url.toLower().contains(QLatin1String("http://")) ? url.mid(7) : url;
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0)
        return {QString(), rest};
    return {rest.left(slash), rest.mid(slash)};
}

// The port is always 80: a ":8080" stays part of the host text, which no name
// lookup knows, and so does anything else that isn't a plain host name.
bool isPlainHostName(const QString& host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'-' || c == u'.' || c == u'_';
        if (!plain)
            return false;
    }
    return true;
}

// The path goes into the request line as written; a blank, a line break or a
// byte outside ASCII would break the request apart or smuggle in headers.
bool isSendablePath(const QString& path)
{
    for (const QChar c : path) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// A whole number that fits the 32-bit length the callers expect.
std::optional<int> parseContentLength(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace

// The worker: one fetch on a thread of its own. It copies everything it needs
// at creation and talks to its component only through events posted to it,
// and only while the component has not let go of it.
class THTTPGetThread {
public:
    struct Request {
        QString url;
        QByteArray acceptTypes;
        QByteArray agent;
        QByteArray userName;
        QByteArray password;
        QByteArray postQuery;
        QByteArray referer;
        QString fileName;
        bool binaryData = false;
        bool useCache = false;
        bool toFile = false;
        bool reportProgress = false;
    };

    THTTPGetThread(THTTPGet* owner, Request request) : request_(std::move(request)), owner_(owner)
    {
        thread_ = std::thread([this] { run(); });
    }

    ~THTTPGetThread()
    {
        requestStop();
        if (thread_.joinable())
            thread_.join();
    }

    void requestStop()
    {
        stop_.store(true);
        {
            std::lock_guard lock(transferLock_);
            if (transfer_)
                transfer_->stop();
        }
        std::lock_guard lock(progressLock_);
        if (pendingProgress_) {
            std::lock_guard handshakeLock(pendingProgress_->lock);
            pendingProgress_->abandoned = true;
            pendingProgress_->settled.notify_all();
        }
    }

    // After this no event reaches the component.
    void detach()
    {
        {
            std::lock_guard lock(ownerLock_);
            owner_ = nullptr;
        }
        requestStop();
    }

    // Read on the UI thread once the end has been reported.
    bool succeeded() const { return success_ && !stop_.load(); }
    int statusCode() const { return statusCode_; }
    QString resultText() const { return QString::fromUtf8(result_); }
    int contentLength() const { return contentLength_; }
    bool toFile() const { return request_.toFile; }
    QString fileName() const { return request_.fileName; }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    struct ProgressHandshake {
        std::mutex lock;
        std::condition_variable settled;
        bool handled = false;
        bool abandoned = false;
    };

    void run()
    {
        makeTransfer();
        success_ = fetch();
        postToOwner([this](THTTPGet* owner) { owner->WorkerDone(this); });
    }

    void makeTransfer()
    {
        std::unique_ptr<FetchProcess> transfer;
        try {
            transfer = std::make_unique<FetchProcess>();
        } catch (const std::exception&) {
            // Without a handle the run ends at once, as a failure.
        }
        std::lock_guard lock(transferLock_);
        transfer_ = std::move(transfer);
    }

    bool fetch()
    {
        if (!transfer_ || stop_.load())
            return false;
        const HostAndPath target = splitURL(request_.url);
        if (!isPlainHostName(target.host) || !isSendablePath(target.path))
            return false;

        fetch::Request request;
        request.url = "http://" + target.host.toStdString() + "/";
        request.requestTarget = target.path.toStdString();
        request.bufferSize = THTTPGet::kChunkSize;
        request.agent = request_.agent.toStdString();
        request.userName = request_.userName.toStdString();
        request.password = request_.password.toStdString();
        request.referer = request_.referer.toStdString();
        // An empty value makes the transfer program's libcurl leave the header out.
        request.headers.push_back(("Accept: " + request_.acceptTypes).toStdString());
        if (!request_.useCache) {
            request.headers.emplace_back("Pragma: no-cache");
            request.headers.emplace_back("Cache-Control: no-cache");
        }
        if (!request_.postQuery.isEmpty()) {
            request.headers.emplace_back("Content-Type: application/x-www-form-urlencoded");
            request.postBody = request_.postQuery.toStdString();
        }

        const fetch::Outcome outcome = transfer_->run(
            request, [this](std::string_view line) { return onHeaderLine(line); },
            [this](std::string_view piece) { return onBody(piece.data(), piece.size()); });
        if (file_)
            file_->close();
        // A reply cut short, a broken connection or a failed write is a
        // failure even when some of the body arrived.
        if (outcome.result != fetch::Result::Done || failed_ || !headersDone_)
            return false;
        if (request_.toFile)
            return bytesRead_ == contentLength_;
        return bytesRead_ != 0;
    }

    bool onHeaderLine(std::string_view line)
    {
        if (stop_.load())
            return false;
        if (startsWithNoCase(line, "HTTP/")) {
            // A new reply begins; only the last one's headers count.
            lengthText_.reset();
            headersDone_ = false;
            statusCode_ = statusOf(line);
            return true;
        }
        if (line == "\r\n" || line == "\n")
            return onHeadersComplete();
        constexpr std::string_view name = "content-length:";
        if (startsWithNoCase(line, name) && !lengthText_)
            lengthText_ = std::string(line.substr(name.size()));
        return true;
    }

    // The three digits after the protocol in "HTTP/1.0 404 Not Found"; 0 when there are none.
    static int statusOf(std::string_view line)
    {
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos || line.size() < blank + 4)
            return 0;
        int status = 0;
        for (std::size_t i = blank + 1; i < blank + 4; ++i) {
            if (line[i] < '0' || line[i] > '9')
                return 0;
            status = status * 10 + (line[i] - '0');
        }
        return status;
    }

    bool onHeadersComplete()
    {
        headersDone_ = true;
        contentLength_ = 0;
        if (!lengthText_) {
            if (request_.binaryData)
                return fail();
        } else if (const std::optional<int> length = parseContentLength(*lengthText_)) {
            contentLength_ = *length;
        } else {
            return fail();
        }
        if (!request_.toFile && contentLength_ > THTTPGet::kMaxStringBody)
            return fail();

        bytesRead_ = 0;
        result_.clear();
        if (request_.toFile) {
            file_.emplace(request_.fileName);
            if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate))
                return fail();
        }
        return true;
    }

    bool onBody(const char* data, size_t length)
    {
        if (!headersDone_)
            return fail();
        while (length > 0) {
            if (stop_.load())
                return false;
            const size_t chunk = std::min(length, static_cast<size_t>(THTTPGet::kChunkSize));
            if (request_.toFile) {
                if (file_->write(data, static_cast<qint64>(chunk)) != static_cast<qint64>(chunk))
                    return fail();
            } else {
                if (bytesRead_ + static_cast<qint64>(chunk) > THTTPGet::kMaxStringBody)
                    return fail();
                result_.append(data, static_cast<qsizetype>(chunk));
            }
            bytesRead_ += static_cast<qint64>(chunk);
            data += chunk;
            length -= chunk;
            if (request_.reportProgress)
                handOverProgress();
        }
        return true;
    }

    bool fail()
    {
        failed_ = true;
        return false;
    }

    // Runs the component's OnProgress on the UI thread and waits for it,
    // unless a stop comes first.
    void handOverProgress()
    {
        auto handshake = std::make_shared<ProgressHandshake>();
        {
            std::lock_guard lock(progressLock_);
            pendingProgress_ = handshake;
        }
        const int total = contentLength_;
        const int readSoFar = static_cast<int>(std::min<qint64>(bytesRead_, std::numeric_limits<int>::max()));
        const bool posted = !stop_.load() && postToOwner([handshake, total, readSoFar](THTTPGet* owner) {
            emit owner->OnProgress(owner, total, readSoFar);
            std::lock_guard lock(handshake->lock);
            handshake->handled = true;
            handshake->settled.notify_all();
        });
        if (posted) {
            std::unique_lock lock(handshake->lock);
            handshake->settled.wait(lock, [&] { return handshake->handled || handshake->abandoned; });
        }
        std::lock_guard lock(progressLock_);
        pendingProgress_.reset();
    }

    // False when the component has let go of this worker.
    bool postToOwner(std::function<void(THTTPGet*)> call)
    {
        std::lock_guard lock(ownerLock_);
        if (!owner_)
            return false;
        THTTPGet* owner = owner_;
        PostedCall::post(owner, [owner, call = std::move(call)] { call(owner); });
        return true;
    }

    const Request request_;
    std::mutex transferLock_;   // transfer_ is set on the worker and stopped from the UI thread
    std::unique_ptr<FetchProcess> transfer_;
    std::atomic<bool> stop_{false};

    std::mutex ownerLock_;
    THTTPGet* owner_;

    std::mutex progressLock_;
    std::shared_ptr<ProgressHandshake> pendingProgress_;

    // Used by the worker thread only, then read once its end was reported.
    bool success_ = false;
    bool failed_ = false;
    bool headersDone_ = false;
    int statusCode_ = 0;
    std::optional<std::string> lengthText_;
    int contentLength_ = 0;
    qint64 bytesRead_ = 0;
    QByteArray result_;
    std::optional<QFile> file_;

    std::thread thread_;
};

THTTPGet::THTTPGet(QObject* parent) : QObject(parent) {}

THTTPGet::~THTTPGet()
{
    if (worker_) {
        worker_->detach();
        worker_.reset();
    }
}

bool THTTPGet::event(QEvent* event)
{
    if (event->type() != PostedCall::eventType())
        return QObject::event(event);
    static_cast<PostedCall*>(event)->run();
    return true;
}

void THTTPGet::StartGet()
{
    start(false);
}

void THTTPGet::StartGetFile()
{
    start(true);
}

void THTTPGet::start(bool toFile)
{
    if (worker_)
        return;
    THTTPGetThread::Request request;
    request.url = url_;
    request.acceptTypes = acceptTypes_.toLatin1();
    request.agent = agent_.toLatin1();
    request.userName = userName_.toUtf8();
    request.password = password_.toUtf8();
    request.postQuery = postQuery_.toUtf8();
    request.referer = referer_.toLatin1();
    request.fileName = fileName_;
    request.binaryData = binaryData_;
    request.useCache = useCache_;
    request.toFile = toFile;
    request.reportProgress = isSignalConnected(QMetaMethod::fromSignal(&THTTPGet::OnProgress));
    worker_ = std::make_unique<THTTPGetThread>(this, std::move(request));
    if (waitThread_)
        QCoreApplication::processEvents();
}

void THTTPGet::Cancel()
{
    if (worker_)
        worker_->requestStop();
}

void THTTPGet::WorkerDone(THTTPGetThread* worker)
{
    worker->join();
    succeeded_ = worker->succeeded();
    statusCode_ = worker->statusCode();
    // The component stays busy until its handlers have run, so a StartGet
    // from inside one of them is ignored; a handler may also delete it.
    const QPointer<THTTPGet> alive(this);
    if (!succeeded_) {
        emit OnError(this);
    } else if (worker->toFile()) {
        const QString fileName = worker->fileName();
        emit OnDoneFile(this, fileName, worker->contentLength());
    } else {
        const QString result = worker->resultText();
        emit OnDoneString(this, result);
    }
    if (alive)
        worker_.reset();
}

} // namespace kestrova
