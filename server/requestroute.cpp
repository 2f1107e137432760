// Routes match the path exactly; GET and HEAD are the only methods served.
#include "server/requestroute.h"

#include "server/clientaddress.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kestrova::server {

namespace {

Route routeOf(std::string_view path)
{
    if (path == "/cgi-bin/kestrova.cgi")
        return Route::Post;
    if (path == "/counter/kestrova.shtml")
        return Route::Page;
    if (path == "/kestrova/kestrovaversion.txt")
        return Route::Version;
    if (path == "/kestrova/kessetup.exe")
        return Route::Installer;
    if (path == "/kestrova/kessetup.exe.minisig")
        return Route::Signature;
    return Route::NotFound;
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}

bool isBracketChar(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

} // namespace

bool isPlainHost(const std::string& text)
{
    std::string_view rest = text;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close == 1 ||
            !std::all_of(rest.begin() + 1, rest.begin() + static_cast<std::ptrdiff_t>(close), isBracketChar))
            return false;
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t end = std::min(rest.find(':'), rest.size());
        if (end == 0 || !std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end), isNameChar))
            return false;
        rest.remove_prefix(end);
    }
    if (rest.empty())
        return true;
    rest.remove_prefix(1);   // the colon
    return text[text.size() - rest.size() - 1] == ':' && !rest.empty() && rest.size() <= 5 &&
           std::all_of(rest.begin(), rest.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

RoutedRequest routeRequest(const RequestHead& head, const std::string& peer,
                           const std::vector<std::string>& trustedProxies, const std::string& boundAddress)
{
    RoutedRequest routed;
    const std::string_view target = head.target;
    const std::size_t question = target.find('?');
    if (head.method == "GET" || head.method == "HEAD") {
        routed.route = routeOf(target.substr(0, question));
        routed.headOnly = head.method == "HEAD";
    }
    if (question != std::string_view::npos)
        routed.query = std::string(target.substr(question + 1));
    routed.client = clientAddress(peer, trustedProxies.empty() ? std::string_view() : head.forwardedFor,
                                  trustedProxies);
    routed.pageHost = isPlainHost(head.host) ? head.host : boundAddress;
    return routed;
}

} // namespace kestrova::server
