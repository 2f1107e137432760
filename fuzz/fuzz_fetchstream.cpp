// Fuzz target: the frames between the game and its transfer program, over any
// bytes, cut into pieces of any size. Reading never fails hard; a request that
// reads complete is encoded again and reads back the same; so does an outcome
// that decodes.
// Input: one byte giving the piece size, then the stream.
#include "online/fetchprotocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace kestrova::fetch;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameRequest(const Request& a, const Request& b)
{
    return a.url == b.url && a.requestTarget == b.requestTarget && a.agent == b.agent &&
           a.userName == b.userName && (a.userName.empty() || a.password == b.password) && a.referer == b.referer &&
           a.headers == b.headers && a.routes == b.routes && a.postBody == b.postBody && a.bufferSize == b.bufferSize &&
           a.connectTimeoutMs == b.connectTimeoutMs && a.idleTimeoutMs == b.idleTimeoutMs;
}

std::optional<Request> readRequest(std::string_view stream, std::size_t piece)
{
    FrameReader frames;
    RequestReader reader;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        frames.append(stream.substr(at, piece));
        check(frames.pending() <= stream.size());
        while (std::optional<Frame> frame = frames.next()) {
            if (frame->tag == Tag::Outcome) {
                if (const std::optional<Outcome> outcome = decodeOutcome(frame->payload)) {
                    const std::optional<Outcome> again = decodeOutcome(encodeOutcome(*outcome));
                    check(again && again->result == outcome->result && again->text == outcome->text);
                }
            }
            if (!reader.add(*frame)) {
                check(!reader.error().empty());
                return std::nullopt;
            }
            if (reader.complete())
                return reader.request();
        }
        if (frames.broken())
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::optional<Request> request = readRequest(stream, piece);
    if (!request)
        return 0;
    const std::string again = encodeRequest(*request);
    const std::optional<Request> reread = readRequest(again, again.size());
    check(reread && sameRequest(*request, *reread));
    return 0;
}
