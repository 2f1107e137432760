#include "online/curllibrary.h"

#include <curl/curl.h>

#include <stdexcept>
#include <string>

namespace kestrova {

CurlLibrary::CurlLibrary()
{
    const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK)
        throw std::runtime_error(std::string("The network library can't start: ") + curl_easy_strerror(code));
}

CurlLibrary::~CurlLibrary()
{
    curl_global_cleanup();
}

} // namespace kestrova
