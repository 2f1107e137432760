#include "online/fetch/curltransfer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace kestrova::fetch {

namespace {

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CurlTransfer::CurlTransfer(const std::vector<std::string>& routes, long connectTimeoutMs, long idleTimeoutMs)
    : easy_(curl_easy_init()), multi_(curl_multi_init()), idleTimeoutMs_(idleTimeoutMs)
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
    // Name look-up and connection together.
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    // The idle time-out is kept by perform(): libcurl's low-speed limit
    // averages over seconds, so a slow but steady download would count as
    // stalled, and a pause of less than a second could not be tested.
    curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CurlTransfer::onConnected);
    curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
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

int CurlTransfer::onConnected(void* self, char*, char*, int, int)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    transfer->connected_ = true;
    transfer->lastMoveMs_ = nowMs();
    return CURL_PREREQFUNC_OK;
}

int CurlTransfer::onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    // Header bytes count as well: a server that sends its head slowly is not idle.
    long headerBytes = 0;
    curl_easy_getinfo(transfer->easy_, CURLINFO_HEADER_SIZE, &headerBytes);
    const curl_off_t moved = downloaded + uploaded + headerBytes;
    if (moved != transfer->moved_) {
        transfer->moved_ = moved;
        transfer->lastMoveMs_ = nowMs();
    }
    return 0;
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
        long long waitMs = 1000;
        if (connected_) {
            const long long idleFor = nowMs() - lastMoveMs_;
            if (idleFor >= idleTimeoutMs_) {
                idleTimedOut_ = true;
                return CURLE_OPERATION_TIMEDOUT;
            }
            waitMs = std::min(waitMs, idleTimeoutMs_ - idleFor);
        }
        watched.revents = 0;
        if (curl_multi_poll(multi_, &watched, 1, static_cast<int>(waitMs), nullptr) != CURLM_OK)
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
