#include "online/httpclient.h"

#include "online/fetchprocess.h"

#include <QIODevice>

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

THttpClient::THttpClient(QObject* parent) : QObject(parent) {}

THttpClient::~THttpClient()
{
    abort();
}

void THttpClient::abort()
{
    if (transfer_)
        transfer_->stop();
}

void THttpClient::Get()
{
    if (running_)
        throw std::logic_error("THttpClient::Get is already running");

    fetch::Request request;
    request.url = url_.toStdString();
    request.agent = agent_.toLatin1().toStdString();
    request.headers.push_back("Accept: " + accept_.toLatin1().toStdString());
    if (noCache_)
        request.headers.emplace_back("Pragma: no-cache");

    long status = 0;
    QByteArray reason;
    auto onHeader = [&](std::string_view text) {
        const QByteArray line = QByteArray(text.data(), static_cast<qsizetype>(text.size())).trimmed();
        if (line.startsWith("HTTP/")) {
            // "HTTP/1.0 404 Not Found": the code, then the reason.
            const QList<QByteArray> parts = line.split(' ');
            status = parts.size() > 1 ? parts[1].toLong() : 0;
            reason = parts.size() < 3 ? QByteArray()
                                      : line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1).trimmed();
        }
        return true;
    };
    // With a status of 400 or more the body is not taken: the transfer ends.
    auto onBody = [&](std::string_view data) {
        if (status >= 400)
            return false;
        const auto size = static_cast<qsizetype>(data.size());
        if (stream_ && stream_->write(data.data(), size) != size) {
            writeError_ = stream_->errorString();
            return false;
        }
        return true;
    };

    FetchProcess transfer;
    running_ = true;
    transfer_ = &transfer;
    statusCode_ = 0;
    writeError_.clear();
    const fetch::Outcome outcome = transfer.run(request, onHeader, onBody);
    transfer_ = nullptr;
    running_ = false;

    if (!writeError_.isEmpty())
        throw std::runtime_error("The download can't be written: " + writeError_.toStdString());
    statusCode_ = static_cast<int>(status);
    if (status >= 400)
        throw EHttpError(statusCode_, reason.isEmpty() ? QStringLiteral("HTTP error %1").arg(statusCode_)
                                                        : QString::fromLatin1(reason));
    if (outcome.result != fetch::Result::Done)
        throw EHttpError(0, failureReason(outcome));
}

} // namespace kestrova
