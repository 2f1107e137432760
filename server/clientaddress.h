// Which client a request comes from: its peer, or behind a trusted proxy the
// address that proxy forwarded, and the key its posts are counted under.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::server {

// An IP address in canonical text form ("192.0.2.7", "2001:db8::1"), with an
// IPv4-mapped IPv6 address given as IPv4; nothing when `text` is no address.
std::optional<std::string> canonicalAddress(std::string_view text);

// The client of a request that came from `peer` with `forwardedFor`, its
// X-Forwarded-For values joined by commas. Only a peer among
// `trustedProxies` (canonical forms) is believed: then the client is the
// rightmost forwarded address that is not a trusted proxy itself, since each
// proxy appends the address it saw and only the part the trusted ones wrote
// can be trusted. Anything that is not an address leaves the peer.
std::string clientAddress(const std::string& peer, std::string_view forwardedFor,
                          const std::vector<std::string>& trustedProxies);

// The key under which a client's posts are counted: an IPv4 address itself,
// an IPv6 address its /64 network, which one host usually has whole.
std::string limitKey(const std::string& address);

} // namespace kestrova::server
