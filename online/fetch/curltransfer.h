// One libcurl transfer, run through a multi handle so that the wait for the
// network also watches the game's end of the socket: when the game goes away
// or hangs up, the transfer ends at once instead of at the next callback.
// Every handle carries the same base options: no signals, plain HTTP only,
// no redirects, the given routes in curl's --connect-to form.
#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

namespace kestrova::fetch {

class CurlTransfer {
public:
    // Throws std::runtime_error when libcurl can't make the handles.
    explicit CurlTransfer(const std::vector<std::string>& routes);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // For the caller's own options; valid for the object's life.
    CURL* handle() const { return easy_; }

    // Runs the transfer to its end; CURLE_ABORTED_BY_CALLBACK as soon as
    // `watchedFd` turns readable or hangs up. Call once.
    CURLcode perform(int watchedFd);

private:
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* routes_ = nullptr;
};

} // namespace kestrova::fetch
