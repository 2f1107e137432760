#include "online/curllibrary.h"

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <atomic>
#include <cstdarg>
#include <mutex>

#include <dlfcn.h>

namespace kestrova {

namespace {

const char* const kLibraryName = "libcurl.so.4";

struct CurlEntries {
    CURLcode (*global_init)(long);
    void (*global_cleanup)();
    const char* (*easy_strerror)(CURLcode);
    CURL* (*easy_init)();
    void (*easy_cleanup)(CURL*);
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLM* (*multi_init)();
    CURLMcode (*multi_cleanup)(CURLM*);
    CURLMcode (*multi_add_handle)(CURLM*, CURL*);
    CURLMcode (*multi_remove_handle)(CURLM*, CURL*);
    CURLMcode (*multi_perform)(CURLM*, int*);
    CURLMcode (*multi_poll)(CURLM*, curl_waitfd[], unsigned int, int, int*);
    CURLMsg* (*multi_info_read)(CURLM*, int*);
    CURLMcode (*multi_wakeup)(CURLM*);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
};

std::once_flag loadOnce;
std::atomic<bool> loaded{false};
CurlEntries entries{};

template <typename Entry>
bool find(void* library, const char* name, Entry& entry)
{
    entry = reinterpret_cast<Entry>(dlsym(library, name));
    return entry != nullptr;
}

// The library, set up, or none when it cannot be loaded or lacks a function.
const CurlEntries* library()
{
    std::call_once(loadOnce, [] {
        void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        CurlEntries found{};
        const bool complete =
            find(handle, "curl_global_init", found.global_init)
            && find(handle, "curl_global_cleanup", found.global_cleanup)
            && find(handle, "curl_easy_strerror", found.easy_strerror)
            && find(handle, "curl_easy_init", found.easy_init)
            && find(handle, "curl_easy_cleanup", found.easy_cleanup)
            && find(handle, "curl_easy_setopt", found.easy_setopt)
            && find(handle, "curl_multi_init", found.multi_init)
            && find(handle, "curl_multi_cleanup", found.multi_cleanup)
            && find(handle, "curl_multi_add_handle", found.multi_add_handle)
            && find(handle, "curl_multi_remove_handle", found.multi_remove_handle)
            && find(handle, "curl_multi_perform", found.multi_perform)
            && find(handle, "curl_multi_poll", found.multi_poll)
            && find(handle, "curl_multi_info_read", found.multi_info_read)
            && find(handle, "curl_multi_wakeup", found.multi_wakeup)
            && find(handle, "curl_slist_append", found.slist_append)
            && find(handle, "curl_slist_free_all", found.slist_free_all);
        // The library stays mapped for the rest of the run even when unusable:
        // it may have started threads of its own.
        if (!complete || found.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return;
        entries = found;
        loaded.store(true);
    });
    return loaded.load() ? &entries : nullptr;
}

} // namespace

bool CurlLibrary::isLoaded()
{
    return loaded.load();
}

CurlLibrary::~CurlLibrary()
{
    if (loaded.load())
        entries.global_cleanup();
}

} // namespace kestrova

using kestrova::library;

extern "C" {

const char* curl_easy_strerror(CURLcode code)
{
    if (const auto* curl = library())
        return curl->easy_strerror(code);
    return "The network library (libcurl.so.4) could not be loaded";
}

CURL* curl_easy_init()
{
    const auto* curl = library();
    return curl ? curl->easy_init() : nullptr;
}

void curl_easy_cleanup(CURL* handle)
{
    if (const auto* curl = library(); curl && handle)
        curl->easy_cleanup(handle);
}

// The one argument after the option has the type the option's number range
// gives, as libcurl itself reads it.
CURLcode(curl_easy_setopt)(CURL* handle, CURLoption option, ...)
{
    const auto* curl = library();
    if (!curl)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = curl->easy_setopt(handle, option, va_arg(arguments, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        result = curl->easy_setopt(handle, option, va_arg(arguments, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        result = curl->easy_setopt(handle, option, va_arg(arguments, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        result = curl->easy_setopt(handle, option, va_arg(arguments, curl_off_t));
    else
        result = curl->easy_setopt(handle, option, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

CURLM* curl_multi_init()
{
    const auto* curl = library();
    return curl ? curl->multi_init() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi)
{
    const auto* curl = library();
    return curl ? curl->multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle)
{
    const auto* curl = library();
    return curl ? curl->multi_add_handle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle)
{
    const auto* curl = library();
    return curl ? curl->multi_remove_handle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running)
{
    const auto* curl = library();
    return curl ? curl->multi_perform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs, int* ready)
{
    const auto* curl = library();
    return curl ? curl->multi_poll(multi, extra, count, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left)
{
    const auto* curl = library();
    return curl ? curl->multi_info_read(multi, left) : nullptr;
}

CURLMcode curl_multi_wakeup(CURLM* multi)
{
    const auto* curl = library();
    return curl ? curl->multi_wakeup(multi) : CURLM_BAD_HANDLE;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text)
{
    const auto* curl = library();
    return curl ? curl->slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list)
{
    if (const auto* curl = library(); curl && list)
        curl->slist_free_all(list);
}

} // extern "C"
