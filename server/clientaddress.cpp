// Address parsing through the system's own inet_pton and inet_ntop.
#include "server/clientaddress.h"

#include <algorithm>
#include <cstring>

#include <arpa/inet.h>

namespace kestrova::server {

namespace {

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::optional<std::string> canonicalAddress(std::string_view text)
{
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string copy(text);
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (::inet_pton(AF_INET, copy.c_str(), &v4) == 1 && ::inet_ntop(AF_INET, &v4, out, sizeof out))
        return std::string(out);
    in6_addr v6{};
    if (::inet_pton(AF_INET6, copy.c_str(), &v6) != 1)
        return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, v6.s6_addr + 12, 4);
        ::inet_ntop(AF_INET, &v4, out, sizeof out);
        return std::string(out);
    }
    ::inet_ntop(AF_INET6, &v6, out, sizeof out);
    return std::string(out);
}

std::string clientAddress(const std::string& peer, std::string_view forwardedFor,
                          const std::vector<std::string>& trustedProxies)
{
    const auto trusted = [&](const std::string& address) {
        return std::find(trustedProxies.begin(), trustedProxies.end(), address) != trustedProxies.end();
    };
    const std::optional<std::string> canonicalPeer = canonicalAddress(peer);
    if (!canonicalPeer || !trusted(*canonicalPeer))
        return canonicalPeer.value_or(peer);
    std::string client = *canonicalPeer;
    while (!forwardedFor.empty()) {
        const std::size_t comma = forwardedFor.rfind(',');
        const std::string_view last = comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1);
        forwardedFor = comma == std::string_view::npos ? std::string_view() : forwardedFor.substr(0, comma);
        const std::optional<std::string> address = canonicalAddress(trimmed(last));
        if (!address)
            break;
        client = *address;
        if (!trusted(client))
            break;
    }
    return client;
}

std::string limitKey(const std::string& address)
{
    in6_addr v6{};
    if (address.find(':') == std::string::npos || ::inet_pton(AF_INET6, address.c_str(), &v6) != 1)
        return address;
    std::memset(v6.s6_addr + 8, 0, 8);
    char out[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &v6, out, sizeof out);
    return std::string(out) + "/64";
}

} // namespace kestrova::server
