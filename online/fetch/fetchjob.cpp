#include "online/fetch/fetchjob.h"

#include "online/fetch/curltransfer.h"

#include <cerrno>
#include <exception>
#include <string>

#include <unistd.h>

namespace kestrova::fetch {

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool sendFrame(int fd, Tag tag, std::string_view payload)
{
    std::string frame;
    appendFrame(frame, tag, payload);
    return writeAll(fd, frame);
}

struct CurlList {
    curl_slist* list = nullptr;
    ~CurlList() { curl_slist_free_all(list); }
    void add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

struct Relay {
    int toGame;
    bool gameGone = false;

    // Both callbacks hand their bytes on as they come; libcurl keeps a body
    // piece within CURLOPT_BUFFERSIZE, so it fits a frame.
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self)
    {
        return static_cast<Relay*>(self)->pass(Tag::ReplyHeader, data, size * count);
    }
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self)
    {
        return static_cast<Relay*>(self)->pass(Tag::ReplyBody, data, size * count);
    }

    std::size_t pass(Tag tag, const char* data, std::size_t length)
    {
        for (std::size_t sent = 0; sent < length;) {
            const std::size_t piece = std::min<std::size_t>(length - sent, kMaxPayload);
            if (!sendFrame(toGame, tag, std::string_view(data + sent, piece))) {
                gameGone = true;
                return 0;
            }
            sent += piece;
        }
        return length;
    }
};

Result resultOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK: return Result::Done;
    case CURLE_COULDNT_RESOLVE_HOST: return Result::HostNotFound;
    case CURLE_COULDNT_CONNECT: return Result::ConnectionRefused;
    case CURLE_ABORTED_BY_CALLBACK: return Result::Stopped;
    case CURLE_OPERATION_TIMEDOUT: return Result::TimedOut;
    default: return Result::Failed;
    }
}

} // namespace

bool sendOutcome(int toGame, const Outcome& outcome)
{
    return sendFrame(toGame, Tag::Outcome, encodeOutcome(outcome));
}

Outcome runTransfer(const Request& request, int fromGame, int toGame)
{
    try {
        CurlTransfer transfer(request.routes, request.connectTimeoutMs, request.idleTimeoutMs);
        CURL* curl = transfer.handle();
        curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
        if (!request.requestTarget.empty())
            curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, request.requestTarget.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
        if (request.bufferSize > 0)
            curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, request.bufferSize);
        if (!request.agent.empty())
            curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
        if (!request.userName.empty()) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, request.userName.c_str());
            curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.c_str());
        }
        if (!request.referer.empty())
            curl_easy_setopt(curl, CURLOPT_REFERER, request.referer.c_str());
        CurlList headers;
        for (const std::string& header : request.headers)
            headers.add(header);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
        if (request.postBody) {
            curl_easy_setopt(curl, CURLOPT_POST, 1L);
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.postBody->size()));
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.postBody->data());
        }
        Relay relay{toGame};
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Relay::onHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &relay);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Relay::onBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &relay);

        const CURLcode code = transfer.perform(fromGame);
        if (relay.gameGone)
            return {Result::Stopped, "The game hung up"};
        if (transfer.idleTimedOut())
            return {Result::TimedOut, "No byte moved for " + std::to_string(request.idleTimeoutMs) + " ms"};
        return {resultOf(code), curl_easy_strerror(code)};
    } catch (const std::exception& error) {
        return {Result::Failed, error.what()};
    }
}

} // namespace kestrova::fetch
