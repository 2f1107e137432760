// Fuzz target: the server's reading of a request, from the bytes a client
// sends to the post or page it asks for: the head parser with its bounds, the
// route, the client behind trusted proxies, the page's host and the post's
// fields. The same bytes fed at once and in pieces must read the same, and
// whatever is read must keep the bounds the server promises. (Bad input may
// be found out earlier in one than in the other.)
// Input: one byte choosing the peer and the size of the pieces, then the bytes
// the client sends.
#include "server/clientaddress.h"
#include "server/httplimits.h"
#include "server/requesthead.h"
#include "server/requestroute.h"
#include "server/scorepost.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kestrova::server;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

RequestHeadParser fed(std::string_view bytes, std::size_t piece)
{
    RequestHeadParser parser;
    while (!bytes.empty() && parser.state() == RequestHeadParser::State::NeedMore) {
        parser.feed(bytes.substr(0, piece));
        bytes.remove_prefix(std::min(piece, bytes.size()));
    }
    return parser;
}

bool printable(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const std::vector<std::string> peers{"127.0.0.1", "192.0.2.7", "2001:db8::1"};
    static const std::vector<std::string> proxies{"127.0.0.1"};
    const std::string& peer = peers[data[0] % peers.size()];
    const std::size_t piece = 1 + (data[0] >> 2);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const RequestHeadParser whole = fed(bytes, bytes.size() + 1);
    const RequestHeadParser pieces = fed(bytes, piece);
    // Bad input may be found out early or only at the end of the head,
    // depending on how it arrives; a good head reads the same either way.
    using State = RequestHeadParser::State;
    check((whole.state() == State::Complete) == (pieces.state() == State::Complete));
    check(whole.firstLine().size() + 2 <= kMaxRequestLine && pieces.firstLine().size() + 2 <= kMaxRequestLine);
    if (whole.state() != RequestHeadParser::State::Complete)
        return 0;
    const RequestHead& head = whole.head();
    check(head.requestLine() == pieces.head().requestLine() && whole.firstLine() == pieces.firstLine());
    check(head.host == pieces.head().host && head.forwardedFor == pieces.head().forwardedFor);
    check(!head.method.empty() && head.requestLine().size() + 2 <= kMaxRequestLine);
    check(head.host.size() <= kMaxHeaderBlock && head.forwardedFor.size() <= kMaxHeaderBlock);

    const RoutedRequest routed = routeRequest(head, peer, proxies, "127.0.0.1:8080");
    check(routed.pageHost == "127.0.0.1:8080" || (routed.pageHost == head.host && isPlainHost(head.host)));
    check(canonicalAddress(routed.client) == routed.client);
    if (peer != proxies.front())
        check(routed.client == peer);
    if (routed.route != Route::Post)
        return 0;
    const ScorePost post = readScorePost(routed.query);
    check(post.entry.has_value() != !post.refusal.empty());
    if (!post.entry)
        return 0;
    check(post.entry->name.size() <= kMaxNameBytes && post.entry->date.size() <= kMaxDateBytes);
    check(printable(post.entry->name) && printable(post.entry->date));
    check(post.entry->score >= kLowestScore && post.entry->score <= kHighestScore);
    return 0;
}
