// HttpService: what the HTTP engine asks of the server behind it. The engine
// reads requests and writes answers; the service says what a request means
// and answers it, on a worker thread when that takes the store.
#pragma once

#include "server/accesslog.h"
#include "server/requesthead.h"
#include "server/requestroute.h"

#include <boost/beast/core/file.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::server {

struct HttpAnswer {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // When set, the body is this file's content instead, streamed.
    std::unique_ptr<boost::beast::file> file;
};

class HttpService {
public:
    virtual ~HttpService() = default;

    virtual RoutedRequest route(const RequestHead& head, const std::string& peer) const = 0;
    // Whether answer() may wait for the store, and so must run on a worker.
    virtual bool needsStore(const RoutedRequest& request) const = 0;
    virtual HttpAnswer answer(const RoutedRequest& request) = 0;
    // The answer to a head that could not be read.
    virtual HttpAnswer refusal(HeadFault fault) const = 0;
    virtual void log(const AccessRecord& record) = 0;
    // Whether peer is a trusted proxy: its connections count only in the total.
    virtual bool isTrustedProxy(const std::string& peer) const = 0;
};

} // namespace kestrova::server
