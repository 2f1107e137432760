#include "online/minisign.h"

#include <sodium.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace kestrova {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::size_t kAlgorithmBytes = 2;

void initialiseSodium()
{
    if (sodium_init() < 0)
        throw std::runtime_error("The signature library can't start");
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view withoutCarriageReturn(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Cuts the next line off `text`; its LF and a CR before it are not part of it.
std::string_view takeLine(std::string_view& text)
{
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return withoutCarriageReturn(line);
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Strict base64 that must decode to exactly `size` bytes, nothing left over.
bool decodeExactly(std::string_view base64, std::uint8_t* out, std::size_t size)
{
    if (base64.empty())
        return false;
    std::size_t decoded = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out, size, base64.data(), base64.size(), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return false;
    return decoded == size && end == base64.data() + base64.size();
}

// Key and signature agree; what remains is whether they sign these bytes (the
// file or its digest) and the trusted comment.
Minisign::Result checkSigned(const Minisign::PublicKey& key, const Minisign::Signature& signature,
                             const std::uint8_t* signedBytes, std::size_t size)
{
    if (crypto_sign_verify_detached(signature.signature.data(), signedBytes, size, key.key.data()) != 0)
        return Minisign::Result::FileMismatch;
    std::vector<std::uint8_t> commented(signature.signature.begin(), signature.signature.end());
    commented.insert(commented.end(), signature.trustedComment.begin(), signature.trustedComment.end());
    if (crypto_sign_verify_detached(signature.globalSignature.data(), commented.data(), commented.size(),
                                    key.key.data()) != 0)
        return Minisign::Result::CommentMismatch;
    return Minisign::Result::Verified;
}

Minisign::Result checkMessage(const Minisign::PublicKey& key, const Minisign::Signature& signature,
                              const std::uint8_t* message, std::size_t size)
{
    if (!signature.prehashed)
        return checkSigned(key, signature, message, size);
    std::array<std::uint8_t, Minisign::kHashBytes> digest{};
    crypto_generichash(digest.data(), digest.size(), message, size, nullptr, 0);
    return checkSigned(key, signature, digest.data(), digest.size());
}

// Parses both texts and matches their key ids.
Minisign::Result prepare(std::string_view publicKeyText, std::string_view signatureText, Minisign::PublicKey& key,
                         Minisign::Signature& signature)
{
    initialiseSodium();
    if (const Minisign::Result result = Minisign::parsePublicKey(publicKeyText, key);
        result != Minisign::Result::Verified)
        return result;
    if (const Minisign::Result result = Minisign::parseSignature(signatureText, signature);
        result != Minisign::Result::Verified)
        return result;
    return key.keyId == signature.keyId ? Minisign::Result::Verified : Minisign::Result::KeyIdMismatch;
}

} // namespace

Minisign::Result Minisign::parsePublicKey(std::string_view text, PublicKey& key)
{
    initialiseSodium();
    text = trimmed(text);
    std::string_view keyLine = text;
    if (text.find('\n') != std::string_view::npos) {
        if (!startsWith(takeLine(text), kUntrustedPrefix))
            return Result::BadPublicKey;
        keyLine = takeLine(text);
        if (!text.empty())
            return Result::BadPublicKey;
    }
    std::array<std::uint8_t, kAlgorithmBytes + 8 + 32> raw{};
    if (!decodeExactly(keyLine, raw.data(), raw.size()) || raw[0] != 'E' || raw[1] != 'd')
        return Result::BadPublicKey;
    std::copy_n(raw.begin() + kAlgorithmBytes, key.keyId.size(), key.keyId.begin());
    std::copy_n(raw.begin() + kAlgorithmBytes + key.keyId.size(), key.key.size(), key.key.begin());
    return Result::Verified;
}

Minisign::Result Minisign::parseSignature(std::string_view text, Signature& signature)
{
    initialiseSodium();
    if (!startsWith(takeLine(text), kUntrustedPrefix))
        return Result::BadSignatureFile;
    std::array<std::uint8_t, kAlgorithmBytes + 8 + 64> raw{};
    if (!decodeExactly(takeLine(text), raw.data(), raw.size()))
        return Result::BadSignatureFile;
    const std::string_view trustedLine = takeLine(text);
    if (!startsWith(trustedLine, kTrustedPrefix))
        return Result::BadSignatureFile;
    if (!decodeExactly(takeLine(text), signature.globalSignature.data(), signature.globalSignature.size()))
        return Result::BadSignatureFile;
    // Nothing but line ends may follow.
    if (text.find_first_not_of("\r\n") != std::string_view::npos)
        return Result::BadSignatureFile;

    if (raw[0] != 'E' || (raw[1] != 'd' && raw[1] != 'D'))
        return Result::UnknownAlgorithm;
    signature.prehashed = raw[1] == 'D';
    std::copy_n(raw.begin() + kAlgorithmBytes, signature.keyId.size(), signature.keyId.begin());
    std::copy_n(raw.begin() + kAlgorithmBytes + signature.keyId.size(), signature.signature.size(),
                signature.signature.begin());
    signature.trustedComment = std::string(trustedLine.substr(kTrustedPrefix.size()));
    return Result::Verified;
}

Minisign::Result Minisign::verify(std::string_view publicKeyText, std::string_view signatureText,
                                  std::string_view message)
{
    PublicKey key;
    Signature signature;
    if (const Result result = prepare(publicKeyText, signatureText, key, signature); result != Result::Verified)
        return result;
    return checkMessage(key, signature, reinterpret_cast<const std::uint8_t*>(message.data()), message.size());
}

Minisign::Result Minisign::verifyFile(std::string_view publicKeyText, std::string_view signatureText,
                                      const std::filesystem::path& file,
                                      std::optional<std::string_view> expectedComment)
{
    const Result result = verifyFileAlone(publicKeyText, signatureText, file);
    // Only a comment whose own signature holds says anything about the release.
    if (result == Result::Verified && expectedComment) {
        Signature signature;
        parseSignature(signatureText, signature);
        if (signature.trustedComment != *expectedComment)
            return Result::OtherRelease;
    }
    return result;
}

Minisign::Result Minisign::verifyFileAlone(std::string_view publicKeyText, std::string_view signatureText,
                                           const std::filesystem::path& file)
{
    PublicKey key;
    Signature signature;
    if (const Result result = prepare(publicKeyText, signatureText, key, signature); result != Result::Verified)
        return result;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Result::UnreadableFile;
    // The prehashed form streams the file; the legacy form signs it whole.
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, kHashBytes);
    std::vector<std::uint8_t> whole;
    std::vector<std::uint8_t> chunk(1 << 16);
    while (in) {
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (signature.prehashed)
            crypto_generichash_update(&state, chunk.data(), got);
        else if (whole.size() + got > kLegacyFileLimit)
            return Result::FileTooLarge;
        else
            whole.insert(whole.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (in.bad())
        return Result::UnreadableFile;
    if (!signature.prehashed)
        return checkMessage(key, signature, whole.data(), whole.size());
    std::array<std::uint8_t, kHashBytes> digest{};
    crypto_generichash_final(&state, digest.data(), digest.size());
    return checkSigned(key, signature, digest.data(), digest.size());
}

const char* Minisign::describe(Result result)
{
    switch (result) {
    case Result::Verified: return "The signature is valid";
    case Result::BadPublicKey: return "The trusted key is not a minisign Ed25519 public key";
    case Result::BadSignatureFile: return "The signature file is malformed";
    case Result::UnknownAlgorithm: return "The signature uses an unknown algorithm";
    case Result::KeyIdMismatch: return "The file was signed with another key";
    case Result::FileMismatch: return "The signature does not match the file";
    case Result::CommentMismatch: return "The trusted comment does not match its signature";
    case Result::UnreadableFile: return "The signed file can't be read";
    case Result::FileTooLarge: return "The file is too large for a signature in the legacy form";
    case Result::OtherRelease: return "The signature is for another release than the one offered";
    }
    return "Unknown signature result";
}

} // namespace kestrova
