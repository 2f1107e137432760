#include "online/fetch/curltransfer.h"

#include <stdexcept>

namespace kestrova::fetch {

CurlTransfer::CurlTransfer(const std::vector<std::string>& routes)
    : easy_(curl_easy_init()), multi_(curl_multi_init())
{
    if (!easy_ || !multi_) {
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        throw std::runtime_error("The network library can't make a request");
    }
    // The resolver runs on a thread of its own instead of timing out by signal.
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
#if LIBCURL_VERSION_NUM >= 0x075700
    // An abort during a slow name lookup leaves the lookup behind instead of waiting for it.
    curl_easy_setopt(easy_, CURLOPT_QUICK_EXIT, 1L);
#endif
    for (const std::string& route : routes)
        routes_ = curl_slist_append(routes_, route.c_str());
    if (routes_)
        curl_easy_setopt(easy_, CURLOPT_CONNECT_TO, routes_);
}

CurlTransfer::~CurlTransfer()
{
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(routes_);
}

CURLcode CurlTransfer::perform(int watchedFd)
{
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    curl_waitfd watched{watchedFd, CURL_WAIT_POLLIN, 0};
    int running = 1;
    while (running != 0) {
        if (curl_multi_perform(multi_, &running) != CURLM_OK)
            return CURLE_FAILED_INIT;
        if (running == 0)
            break;
        watched.revents = 0;
        if (curl_multi_poll(multi_, &watched, 1, 1000, nullptr) != CURLM_OK)
            return CURLE_FAILED_INIT;
        if (watched.revents != 0)
            return CURLE_ABORTED_BY_CALLBACK;
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_)
            return message->data.result;
    }
    return CURLE_FAILED_INIT;
}

} // namespace kestrova::fetch
