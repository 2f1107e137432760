// The bounds every connection to kestrova-server lives within. Together they
// bound what one connection can cost (memory, a slot, time), and through the
// connection caps, what the whole server can cost.
#pragma once

#include <chrono>
#include <cstddef>

namespace kestrova::server {

// The request line, its line end included.
constexpr std::size_t kMaxRequestLine = 8192;
// Each header field, "Name: value" and its line end.
constexpr std::size_t kMaxHeaderField = 8192;
// All header fields together, and how many there may be.
constexpr std::size_t kMaxHeaderBlock = 16384;
constexpr std::size_t kMaxHeaderFields = 64;
// The whole request head: line, fields and the blank line that ends them.
constexpr std::size_t kMaxRequestHead = kMaxRequestLine + kMaxHeaderBlock + 2;

// From accept to the last byte of the request head, not restarted by each
// byte: a client that trickles its request in is closed when it is up.
constexpr auto kRequestDeadline = std::chrono::seconds(10);
// While an answer is written, the longest the client may take nothing.
constexpr auto kWriteStall = std::chrono::seconds(30);

// Open connections in all, and from one client address (an IPv6 /64).
constexpr std::size_t kMaxConnections = 1500;
constexpr std::size_t kMaxConnectionsPerAddress = 32;

} // namespace kestrova::server
