// THTTPGet: fetches one URL over HTTP/1.0 while the window's event loop goes
// on (the transfer program's answers are read as they arrive), and hands the
// body to its owner through OnDoneString (or OnError).
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string_view>

namespace kestrova {


class THTTPGet : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString AcceptTypes READ AcceptTypes WRITE setAcceptTypes)
    Q_PROPERTY(QString Agent READ Agent WRITE setAgent)
    Q_PROPERTY(bool BinaryData READ BinaryData WRITE setBinaryData)
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(bool UseCache READ UseCache WRITE setUseCache)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString UserName READ UserName WRITE setUserName)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(QString PostQuery READ PostQuery WRITE setPostQuery)
    Q_PROPERTY(QString Referer READ Referer WRITE setReferer)
    Q_PROPERTY(bool WaitThread READ WaitThread WRITE setWaitThread)

public:
    // A string body longer than this ends the fetch as a failure: the bodies
    // the program fetches are short texts, and a runaway reply must not fill
    // the memory.
    static constexpr int kMaxStringBody = 1 << 20;
    // The most bytes one read hands on.
    static constexpr int kChunkSize = 1025;

    explicit THTTPGet(QObject* parent = nullptr);
    // Stops a running fetch without waiting for the server; no event of it
    // arrives any more.
    ~THTTPGet() override;

    QString AcceptTypes() const { return acceptTypes_; }
    void setAcceptTypes(const QString& value) { acceptTypes_ = value; }
    // The user agent; none is sent when empty.
    QString Agent() const { return agent_; }
    void setAgent(const QString& value) { agent_ = value; }
    // When true, a reply without Content-Length is a failure.
    bool BinaryData() const { return binaryData_; }
    void setBinaryData(bool value) { binaryData_ = value; }
    // "http://" (in any case), the host, then the path and query as sent.
    QString URL() const { return url_; }
    void setURL(const QString& value) { url_ = value; }
    // When false, the request asks every cache on the way to pass it to the origin server.
    bool UseCache() const { return useCache_; }
    void setUseCache(bool value) { useCache_ = value; }
    // The target of StartGetFile.
    QString FileName() const { return fileName_; }
    void setFileName(const QString& value) { fileName_ = value; }
    QString UserName() const { return userName_; }
    void setUserName(const QString& value) { userName_ = value; }
    QString Password() const { return password_; }
    void setPassword(const QString& value) { password_ = value; }
    // When not empty the request is a form POST with this body.
    QString PostQuery() const { return postQuery_; }
    void setPostQuery(const QString& value) { postQuery_ = value; }
    QString Referer() const { return referer_; }
    void setReferer(const QString& value) { referer_ = value; }
    // When true, StartGet lets the events already waiting run before it returns.
    bool WaitThread() const { return waitThread_; }
    void setWaitThread(bool value) { waitThread_ = value; }

    // Starts fetching URL into a string and returns at once. Ignored, with no
    // event to follow, while a fetch runs.
    void StartGet();
    // The same into FileName; success means the whole announced Content-Length arrived.
    void StartGetFile();
    // Asks the running fetch to stop; it ends with OnError.
    void Cancel();

    bool isRunning() const { return fetch_ != nullptr; }
    // The outcome of the last fetch that ended.
    bool succeeded() const { return succeeded_; }
    // The HTTP status of the last fetch that ended (of its last reply, after
    // an interim one); 0 when no status line arrived. The component itself
    // never looks at it: an error page with a body is delivered like any other.
    int StatusCode() const { return statusCode_; }

signals:
    // After every read: the announced length (0 when none) and the bytes so
    // far. The fetch goes on when the handlers have returned.
    void OnProgress(kestrova::THTTPGet* sender, int totalSize, int readed);
    void OnDoneFile(kestrova::THTTPGet* sender, const QString& fileName, int fileSize);
    void OnDoneString(kestrova::THTTPGet* sender, const QString& result);
    void OnError(kestrova::THTTPGet* sender);

private:
    struct Fetch;

    void start(bool toFile);
    bool onHeaderLine(std::string_view line);
    bool onHeadersComplete();
    bool onBody(std::string_view data);
    bool fail();
    void WorkerDone(bool transferDone);

    QString acceptTypes_ = QStringLiteral("*/*");
    QString agent_ = QStringLiteral("Kestrova HTTPGet");
    bool binaryData_ = false;
    QString url_;
    bool useCache_ = false;
    QString fileName_;
    QString userName_;
    QString password_;
    QString postQuery_;
    QString referer_;
    bool waitThread_ = false;

    std::unique_ptr<Fetch> fetch_;
    bool succeeded_ = false;
    int statusCode_ = 0;
};

} // namespace kestrova
