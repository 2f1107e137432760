// A small HTTP server on 127.0.0.1 for tests: it answers each request with the
// reply scripted for it, keeps what it received, and can hold a reply back to
// play a slow server. Replies are raw bytes, so they can be broken on purpose.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrova::testing {

class TestHttpServer {
public:
    struct Reply {
        Reply(std::string head = {}, bool holdAfterHead = false, std::string tail = {})
            : head(std::move(head)), holdAfterHead(holdAfterHead), tail(std::move(tail))
        {
        }
        std::string head;    // sent as soon as the request is in
        bool holdAfterHead;  // then wait for release() or the client hanging up
        std::string tail;    // sent after release(); then the connection closes
    };

    // A whole reply: status line, headers (with Content-Length unless told
    // otherwise) and body.
    static std::string response(const std::string& status, const std::string& body, bool withLength = true,
                                const std::string& extraHeaders = {});

    // Listens on a free port. Clears the proxy variables of the environment
    // so that requests come here directly.
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    // The KESTROVA_CONNECT_TO route that sends `host`'s port 80 here; "host:port" names another port.
    std::string route(const std::string& host = "localhost") const;

    // The reply for every request from now on, unless one is queued.
    void setReply(Reply reply);
    // Replies for the next requests, in order.
    void queueReply(Reply reply);
    // Lets every held reply go on.
    void release();

    // Each request as received: request line, headers and body.
    std::vector<std::string> requests() const;
    size_t requestCount() const;
    // Waits until `count` requests have come in; false when that took too long.
    bool waitForRequests(size_t count, std::chrono::seconds timeout = std::chrono::seconds(30));
    // Waits until `count` clients have hung up on a held reply.
    bool waitForHangUps(size_t count, std::chrono::seconds timeout = std::chrono::seconds(30));

private:
    void acceptLoop();
    void serve(int connection);
    bool holdUntilReleased(int connection);
    bool readRequest(int connection, std::string& request);
    bool waitReadable(int descriptor);

    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};

    mutable std::mutex lock_;
    std::condition_variable changed_;
    Reply reply_;
    std::deque<Reply> queued_;
    std::vector<std::string> requests_;
    size_t hangUps_ = 0;
    bool released_ = false;
    std::vector<int> holdPipes_;

    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace kestrova::testing
