// THttpClient: an HTTP/1.0 GET that blocks its caller but not the window.
// Get() waits in an event loop of its own, so the window goes on handling its
// events, and writes the body into the receive stream as it arrives.
#pragma once

#include <QObject>
#include <QString>

#include <stdexcept>

class QIODevice;

namespace kestrova {

class FetchProcess;

// The client's own error: a status of 400 or more, or no reply at all
// (host not found, connection refused or aborted). The text is the reason,
// as the server gave it ("Not Found") or as the failure is called.
class EHttpError : public std::runtime_error {
public:
    EHttpError(int statusCode, const QString& reason);
    // 0 when there was no reply.
    int statusCode() const { return statusCode_; }

private:
    int statusCode_;
};

class THttpClient : public QObject {
    Q_OBJECT
public:
    explicit THttpClient(QObject* parent = nullptr);
    ~THttpClient() override;

    // Plain http:// only.
    QString URL() const { return url_; }
    void setURL(const QString& url) { url_ = url; }
    // Where the body goes, chunk by chunk; not owned. With
    // none, the body is read and dropped. Nothing is written for a status of
    // 400 or more.
    QIODevice* RcvdStream() const { return stream_; }
    void setRcvdStream(QIODevice* stream) { stream_ = stream; }
    QString Agent() const { return agent_; }
    void setAgent(const QString& agent) { agent_ = agent; }
    QString Accept() const { return accept_; }
    void setAccept(const QString& accept) { accept_ = accept; }
    // When true, caches on the way are asked to pass the request on.
    bool NoCache() const { return noCache_; }
    void setNoCache(bool noCache) { noCache_ = noCache; }

    // Fetches URL into the receive stream and returns when the transfer is
    // complete. Throws EHttpError on a status of 400 or more, a failed or
    // broken connection, abort(), or when the application quits meanwhile;
    // std::runtime_error when the stream refuses the data.
    void Get();
    // Ends a running Get() early; harmless when none runs.
    void abort();
    bool isRunning() const { return running_; }

    // The last reply's status; 0 before any reply. Its reason is the text
    // of the EHttpError that a status of 400 or more raises.
    int StatusCode() const { return statusCode_; }

private:
    QString url_;
    QIODevice* stream_ = nullptr;
    QString agent_ = QStringLiteral("Mozilla/3.0 (compatible)");
    QString accept_ = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    bool noCache_ = false;

    bool running_ = false;
    FetchProcess* transfer_ = nullptr;   // the running Get's, for abort()
    QString writeError_;
    int statusCode_ = 0;
};

} // namespace kestrova
