// Checks minisign's detached Ed25519 signatures with libsodium: the public-key
// text, the four-line signature file and the signed file itself. Plain C++;
// every input is treated as hostile and every refusal has its own result.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

class Minisign {
public:
    enum class Result {
        Verified,
        BadPublicKey,          // not a minisign Ed25519 public key
        BadSignatureFile,      // not four lines of the expected form
        UnknownAlgorithm,      // a signature neither "Ed" (legacy) nor "ED" (prehashed)
        KeyIdMismatch,         // signed with another key
        FileMismatch,          // the file is not the one that was signed
        CommentMismatch,       // the trusted comment was changed
        UnreadableFile,        // the file to check can't be read
        FileTooLarge,          // a legacy signature over a file too large to hold in memory
        OtherRelease,          // a valid signature whose trusted comment names another release
    };

    using KeyId = std::array<std::uint8_t, 8>;

    struct PublicKey {
        KeyId keyId{};
        std::array<std::uint8_t, 32> key{};
    };

    struct Signature {
        bool prehashed = false;   // over the BLAKE2b-512 hash of the file, not the file
        KeyId keyId{};
        std::array<std::uint8_t, 64> signature{};
        std::string trustedComment;   // after "trusted comment: "
        std::array<std::uint8_t, 64> globalSignature{};   // over signature + trusted comment
    };

    // The key as minisign writes it: either its public-key file (an untrusted
    // comment line, then the key) or the key line alone. Blanks and line ends
    // around it are ignored.
    static Result parsePublicKey(std::string_view text, PublicKey& key);
    // The .minisig file: untrusted comment, signature, trusted comment, global
    // signature, each on a line of its own (LF or CRLF).
    static Result parseSignature(std::string_view text, Signature& signature);

    // The whole check as "minisign -V" makes it, in its order: key, signature
    // file, key id, file, trusted comment.
    static Result verify(std::string_view publicKeyText, std::string_view signatureText, std::string_view message);
    // With `expectedComment`, a signature that holds in every other way is
    // still refused (OtherRelease) unless its trusted comment is exactly that
    // text: releases sign the version into it, so an older signed file can't
    // pass for a newer one.
    static Result verifyFile(std::string_view publicKeyText, std::string_view signatureText,
                             const std::filesystem::path& file,
                             std::optional<std::string_view> expectedComment = std::nullopt);

    // A short English sentence for logs and errors.
    static const char* describe(Result result);

    // The prehashed form's digest length, BLAKE2b-512.
    static constexpr std::size_t kHashBytes = 64;
    // The legacy form signs the file itself, so checking it means holding the
    // whole file; a larger file is refused rather than read into memory (the
    // default, prehashed form has no such bound: it is checked as it streams).
    static constexpr std::size_t kLegacyFileLimit = std::size_t{64} << 20;

private:
    static Result verifyFileAlone(std::string_view publicKeyText, std::string_view signatureText,
                                  const std::filesystem::path& file);
};

} // namespace kestrova
