// One libcurl transfer, run through a multi handle so that the wait for the
// network also watches the game's end of the socket: when the game goes away
// or hangs up, the transfer ends at once instead of at the next callback.
// Every handle carries the same base options: no signals, plain HTTP only,
// no redirects, the given routes in curl's --connect-to form. A transfer ends
// as CURLE_OPERATION_TIMEDOUT when it can't connect within the connect
// time-out, or once connected moves no byte for the idle time-out; there is
// no bound on the whole while bytes flow.
#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

namespace kestrova::fetch {

class CurlTransfer {
public:
    // Throws std::runtime_error when libcurl can't make the handles.
    CurlTransfer(const std::vector<std::string>& routes, long connectTimeoutMs, long idleTimeoutMs);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // For the caller's own options; valid for the object's life.
    CURL* handle() const { return easy_; }

    // Runs the transfer to its end; CURLE_ABORTED_BY_CALLBACK as soon as
    // `watchedFd` turns readable or hangs up. Call once.
    CURLcode perform(int watchedFd);

    // Whether perform() ended because nothing moved for the idle time-out.
    bool idleTimedOut() const { return idleTimedOut_; }

private:
    static int onProgress(void* self, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t uploadTotal,
                          curl_off_t uploaded);
    static int onConnected(void* self, char* remoteAddress, char* localAddress, int remotePort, int localPort);


    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* routes_ = nullptr;
    long idleTimeoutMs_;
    bool connected_ = false;
    bool idleTimedOut_ = false;
    curl_off_t moved_ = 0;          // bytes either way, headers and body
    long long lastMoveMs_ = 0;      // on the monotonic clock
};

} // namespace kestrova::fetch
