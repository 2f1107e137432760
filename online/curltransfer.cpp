#include "online/curltransfer.h"

#include "online/serverconfig.h"

#include <QtGlobal>

#include <mutex>
#include <stdexcept>

namespace kestrova {

CurlTransfer::CurlTransfer() : easy_(curl_easy_init()), multi_(curl_multi_init())
{
    if (!easy_ || !multi_) {
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        throw std::runtime_error("The network library can't make a request");
    }
    // Signals would reach other threads of the program; the resolver runs on
    // a thread of its own instead.
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
#if LIBCURL_VERSION_NUM >= 0x075700
    // A stop during a slow name lookup leaves the lookup behind instead of waiting for it.
    curl_easy_setopt(easy_, CURLOPT_QUICK_EXIT, 1L);
#endif
    const std::optional<QList<QByteArray>> routes = ServerConfig::connectRoutes();
    if (!routes) {
        static std::once_flag told;
        std::call_once(told, [] {
            qWarning("KESTROVA_CONNECT_TO is not a list of host:port:host:port routes; no request is sent");
        });
        misrouted_ = true;
        return;
    }
    for (const QByteArray& route : *routes)
        routes_ = curl_slist_append(routes_, route.constData());
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

CURLcode CurlTransfer::perform()
{
    if (misrouted_)
        return CURLE_BAD_FUNCTION_ARGUMENT;
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    while (running != 0) {
        if (stop_.load())
            return CURLE_ABORTED_BY_CALLBACK;
        if (curl_multi_perform(multi_, &running) != CURLM_OK)
            return CURLE_FAILED_INIT;
        if (running != 0 && curl_multi_poll(multi_, nullptr, 0, 1000, nullptr) != CURLM_OK)
            return CURLE_FAILED_INIT;
    }
    if (stop_.load())
        return CURLE_ABORTED_BY_CALLBACK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_)
            return message->data.result;
    }
    return CURLE_FAILED_INIT;
}

void CurlTransfer::stop()
{
    stop_.store(true);
    curl_multi_wakeup(multi_);
}

} // namespace kestrova
