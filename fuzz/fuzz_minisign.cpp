// Fuzz target: a signature file and the signed file, split at the first NUL
// byte, checked against a fixed public key whose secret half was thrown away.
// Nothing may crash, and only the two signed seeds can ever verify: any other
// file or trusted comment that passed would be a forgery.
#include "online/minisign.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrova;
    constexpr std::string_view publicKey = "untrusted comment: minisign public key CDC83E8E78911114\n"
                                           "RWQUEZF4jj7IzVuNv41LbnMzpvgVQYu35B5xlNM2JS7PGlYmDJPXohe3\n";
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view signatureText = input.substr(0, split);
    const std::string_view message = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    Minisign::PublicKey anyKey;
    Minisign::parsePublicKey(input, anyKey);

    if (Minisign::verify(publicKey, signatureText, message) != Minisign::Result::Verified)
        return 0;
    Minisign::Signature signature;
    if (Minisign::parseSignature(signatureText, signature) != Minisign::Result::Verified)
        std::abort();
    const std::string_view comment = signature.trustedComment;
    const bool signedComment = comment == "timestamp:0\tfile:kessetup.exe\thashed" ||
                               comment == "timestamp:0\tfile:kessetup.exe";
    if (message != "kessetup installer\n" || !signedComment)
        std::abort();
    return 0;
}
