// One libcurl transfer that another thread can stop at once. The easy handle
// runs through a multi handle, so a stop wakes the wait for the network
// instead of waiting for the next callback. Every handle of the program is
// made here and carries the same base options: no signals, plain HTTP only,
// no redirects, the routes of KESTROVA_CONNECT_TO. A malformed route makes
// every transfer fail at once.
#pragma once

#include <curl/curl.h>

#include <atomic>

namespace kestrova {

class CurlTransfer {
public:
    // Throws std::runtime_error when libcurl can't make the handles.
    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // For the caller's own options; valid for the object's life.
    CURL* handle() const { return easy_; }

    // Runs the transfer to its end on the calling thread; CURLE_ABORTED_BY_CALLBACK
    // once a stop was asked for. Call once.
    CURLcode perform();

    // Thread-safe; the transfer ends as soon as perform() next looks.
    void stop();
    bool stopRequested() const { return stop_.load(); }

private:
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* routes_ = nullptr;
    bool misrouted_ = false;
    std::atomic<bool> stop_{false};
};

} // namespace kestrova
