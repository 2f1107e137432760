#include "online/httpget.h"

#include "online/fetchprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaMethod>
#include <QPointer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>
#include <string_view>

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

// The three digits after the protocol in "HTTP/1.0 404 Not Found"; 0 when there are none.
int statusOf(std::string_view line)
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

} // namespace

// One fetch: its own copy of what the properties said at its start, and what
// has come of it so far.
struct THTTPGet::Fetch {
    QString fileName;
    bool binaryData = false;
    bool toFile = false;
    bool reportProgress = false;

    bool cancelled = false;
    bool failed = false;
    bool headersDone = false;
    int statusCode = 0;
    std::optional<std::string> lengthText;
    int contentLength = 0;
    qint64 bytesRead = 0;
    QByteArray result;
    std::optional<QFile> file;

    // Last: destroyed first, so that no handler of it runs on the parts above.
    FetchProcess transfer;
};

THTTPGet::THTTPGet(QObject* parent) : QObject(parent) {}

// The transfer program is ended at once with the fetch; its end is not reported.
THTTPGet::~THTTPGet() = default;

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
    if (fetch_)
        return;
    fetch_ = std::make_unique<Fetch>();
    fetch_->fileName = fileName_;
    fetch_->binaryData = binaryData_;
    fetch_->toFile = toFile;
    fetch_->reportProgress = isSignalConnected(QMetaMethod::fromSignal(&THTTPGet::OnProgress));

    // The end is always reported from the event loop, never from inside StartGet.
    auto reportEnd = [this](bool transferDone) {
        QMetaObject::invokeMethod(this, [this, transferDone] { WorkerDone(transferDone); }, Qt::QueuedConnection);
    };
    const HostAndPath target = splitURL(url_);
    if (!isPlainHostName(target.host) || !isSendablePath(target.path)) {
        reportEnd(false);
    } else {
        fetch::Request request;
        request.url = "http://" + target.host.toStdString() + "/";
        request.requestTarget = target.path.toStdString();
        request.bufferSize = kChunkSize;
        request.agent = agent_.toLatin1().toStdString();
        request.userName = userName_.toUtf8().toStdString();
        request.password = password_.toUtf8().toStdString();
        request.referer = referer_.toLatin1().toStdString();
        // An empty value makes the transfer program's libcurl leave the header out.
        request.headers.push_back("Accept: " + acceptTypes_.toLatin1().toStdString());
        if (!useCache_) {
            request.headers.emplace_back("Pragma: no-cache");
            request.headers.emplace_back("Cache-Control: no-cache");
        }
        if (!postQuery_.isEmpty()) {
            request.headers.emplace_back("Content-Type: application/x-www-form-urlencoded");
            request.postBody = postQuery_.toUtf8().toStdString();
        }
        fetch_->transfer.start(
            request, [this](std::string_view line) { return onHeaderLine(line); },
            [this](std::string_view piece) { return onBody(piece); },
            [reportEnd](const fetch::Outcome& outcome) { reportEnd(outcome.result == fetch::Result::Done); });
    }
    if (waitThread_)
        QCoreApplication::processEvents();
}

void THTTPGet::Cancel()
{
    if (!fetch_)
        return;
    fetch_->cancelled = true;
    fetch_->transfer.stop();
}

bool THTTPGet::onHeaderLine(std::string_view line)
{
    Fetch& fetch = *fetch_;
    if (fetch.cancelled)
        return false;
    if (startsWithNoCase(line, "HTTP/")) {
        // A new reply begins; only the last one's headers count.
        fetch.lengthText.reset();
        fetch.headersDone = false;
        fetch.statusCode = statusOf(line);
        return true;
    }
    if (line == "\r\n" || line == "\n")
        return onHeadersComplete();
    constexpr std::string_view name = "content-length:";
    if (startsWithNoCase(line, name) && !fetch.lengthText)
        fetch.lengthText = std::string(line.substr(name.size()));
    return true;
}

bool THTTPGet::onHeadersComplete()
{
    Fetch& fetch = *fetch_;
    fetch.headersDone = true;
    fetch.contentLength = 0;
    if (!fetch.lengthText) {
        if (fetch.binaryData)
            return fail();
    } else if (const std::optional<int> length = parseContentLength(*fetch.lengthText)) {
        fetch.contentLength = *length;
    } else {
        return fail();
    }
    if (!fetch.toFile && fetch.contentLength > kMaxStringBody)
        return fail();

    fetch.bytesRead = 0;
    fetch.result.clear();
    if (fetch.toFile) {
        fetch.file.emplace(fetch.fileName);
        if (!fetch.file->open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail();
    }
    return true;
}

bool THTTPGet::onBody(std::string_view data)
{
    if (!fetch_->headersDone)
        return fail();
    const QPointer<THTTPGet> alive(this);
    while (!data.empty()) {
        Fetch& fetch = *fetch_;
        if (fetch.cancelled)
            return false;
        const std::string_view chunk = data.substr(0, kChunkSize);
        const auto size = static_cast<qsizetype>(chunk.size());
        if (fetch.toFile) {
            if (fetch.file->write(chunk.data(), size) != size)
                return fail();
        } else {
            if (fetch.bytesRead + size > kMaxStringBody)
                return fail();
            fetch.result.append(chunk.data(), size);
        }
        fetch.bytesRead += size;
        data.remove_prefix(chunk.size());
        if (fetch.reportProgress) {
            emit OnProgress(this, fetch.contentLength,
                            static_cast<int>(std::min<qint64>(fetch.bytesRead, std::numeric_limits<int>::max())));
            // A handler may have destroyed the component, and its fetch with it.
            if (!alive)
                return false;
        }
    }
    return true;
}

bool THTTPGet::fail()
{
    fetch_->failed = true;
    return false;
}

void THTTPGet::WorkerDone(bool transferDone)
{
    Fetch& fetch = *fetch_;
    if (fetch.file)
        fetch.file->close();
    // A reply cut short, a broken connection or a failed write is a failure
    // even when some of the body arrived.
    succeeded_ = transferDone && !fetch.cancelled && !fetch.failed && fetch.headersDone &&
                 (fetch.toFile ? fetch.bytesRead == fetch.contentLength : fetch.bytesRead != 0);
    statusCode_ = fetch.statusCode;
    // The component stays busy until its handlers have run, so a StartGet
    // from inside one of them is ignored; a handler may also delete it.
    const QPointer<THTTPGet> alive(this);
    if (!succeeded_) {
        emit OnError(this);
    } else if (fetch.toFile) {
        const QString fileName = fetch.fileName;
        emit OnDoneFile(this, fileName, fetch.contentLength);
    } else {
        const QString result = QString::fromUtf8(fetch.result);
        emit OnDoneString(this, result);
    }
    if (alive)
        fetch_.reset();
}

} // namespace kestrova
