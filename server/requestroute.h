// What a request asks of kestrova-server, read from its head and the address
// it came from: which answer, for which client, with which query and which
// host for the page's links. No sockets and no store, so every request a
// client can send can be tried on it alone.
#pragma once

#include "server/requesthead.h"

#include <string>
#include <vector>

namespace kestrova::server {

enum class Route { Post, Page, Version, Installer, Signature, NotFound };

struct RoutedRequest {
    Route route = Route::NotFound;
    bool headOnly = false;   // HEAD: the answer's head without its body
    std::string query;       // what follows "?" in the target, still encoded
    std::string client;      // the client's address, after the trusted proxies
    std::string pageHost;    // host[:port] for the page's links
};

// `peer` is the connection's address in canonical form; `boundAddress` the
// address the server listens on, which names the page's links when the Host
// header is missing or not a plain host name.
RoutedRequest routeRequest(const RequestHead& head, const std::string& peer,
                           const std::vector<std::string>& trustedProxies, const std::string& boundAddress);

// True when `text` is a plain host name, IPv4 address or bracketed IPv6
// address, with an optional port of up to five digits: safe to put in a link.
bool isPlainHost(const std::string& text);

} // namespace kestrova::server
