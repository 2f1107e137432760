// minisign signatures made by the real tool, checked by ours: what it signs
// verifies in both forms, and every damaged, foreign or malformed input is
// refused with its own result.
#include "online/minisign.h"
#include "support/minisigntool.h"
#include "support/tempfolder.h"

#include <sodium.h>

#include <gtest/gtest.h>

#include <vector>

namespace kestrova {
namespace {

using Result = Minisign::Result;
using testing::MinisignKeyPair;
using testing::TempFolder;
using testing::writeBytes;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string joined(const std::vector<std::string>& lines, const std::string& ending = "\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + ending;
    return text;
}

std::string decoded(const std::string& base64)
{
    std::string bytes(base64.size(), '\0');
    std::size_t length = 0;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), base64.data(), base64.size(),
                          nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0)
        throw std::runtime_error("test set-up: not base64");
    bytes.resize(length);
    return bytes;
}

std::string encoded(const std::string& bytes)
{
    std::string base64(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(base64.data(), base64.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    base64.resize(base64.size() - 1);   // the terminating zero
    return base64;
}

class MinisignTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(file, message);
        prehashed = key.sign(file);
        legacy = key.sign(file, true);
    }

    // The prehashed signature with line `index` (0-3) replaced.
    std::string withLine(std::size_t index, const std::string& line) const
    {
        std::vector<std::string> lines = linesOf(prehashed);
        lines.at(index) = line;
        return joined(lines);
    }
    // The prehashed signature with its binary signature line changed by `change`.
    template <typename Change>
    std::string withSignatureBytes(Change change) const
    {
        std::string bytes = decoded(linesOf(prehashed).at(1));
        change(bytes);
        return withLine(1, encoded(bytes));
    }

    TempFolder folder;
    MinisignKeyPair key{folder.path(), "release"};
    const std::string message = std::string("kessetup\0\x01\xff installer bytes\n", 27);
    std::filesystem::path file = folder / "kessetup.exe";
    std::string prehashed;
    std::string legacy;
};

TEST_F(MinisignTest, WhatTheToolSignsVerifiesInBothFormsFromMemoryAndFromTheFile)
{
    ASSERT_EQ(decoded(linesOf(prehashed).at(1)).substr(0, 2), "ED");
    ASSERT_EQ(decoded(linesOf(legacy).at(1)).substr(0, 2), "Ed");
    for (const std::string& signature : {prehashed, legacy}) {
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, message), Result::Verified);
        EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), signature, file), Result::Verified);
        EXPECT_EQ(Minisign::verify(key.publicKeyLine(), signature, message), Result::Verified);
    }
    // Line ends and blanks as a variable or a Windows editor leaves them.
    EXPECT_EQ(Minisign::verify("  " + key.publicKeyLine() + "\r\n", prehashed, message), Result::Verified);
    EXPECT_EQ(Minisign::verify(joined(linesOf(key.publicKeyText()), "\r\n"), joined(linesOf(prehashed), "\r\n"),
                               message),
              Result::Verified);
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), prehashed.substr(0, prehashed.size() - 1), message),
              Result::Verified);
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), prehashed + "\n\n", message), Result::Verified);
    // The untrusted comment is just that.
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), withLine(0, "untrusted comment: anything at all"), message),
              Result::Verified);

    Minisign::Signature parsed;
    ASSERT_EQ(Minisign::parseSignature(prehashed, parsed), Result::Verified);
    EXPECT_TRUE(parsed.prehashed);
    EXPECT_EQ(parsed.trustedComment, "kestrova test");
}

TEST_F(MinisignTest, AChangedFileIsRefusedInBothForms)
{
    std::string flipped = message;
    flipped[9] ^= 0x01;
    for (const std::string& signature : {prehashed, legacy}) {
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, flipped), Result::FileMismatch);
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, message + "x"), Result::FileMismatch);
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, message.substr(1)), Result::FileMismatch);
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, ""), Result::FileMismatch);
    }
    writeBytes(file, message + "appended");
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), prehashed, file), Result::FileMismatch);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), legacy, file), Result::FileMismatch);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), prehashed, folder / "missing.exe"), Result::UnreadableFile);
}

// The legacy form is checked over the file held in memory: a file past the
// limit is refused before it is read whole, and the limit itself still fits.
TEST_F(MinisignTest, ALegacySignatureOverAHugeFileIsRefusedUnread)
{
    std::filesystem::resize_file(file, Minisign::kLegacyFileLimit + 1);   // sparse: costs no disk
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), legacy, file), Result::FileTooLarge);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), prehashed, file), Result::FileMismatch);
    std::filesystem::resize_file(file, Minisign::kLegacyFileLimit);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), legacy, file), Result::FileMismatch);
}

TEST_F(MinisignTest, AChangedTrustedCommentIsRefusedEvenForTheRightFile)
{
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), withLine(2, "trusted comment: kestrova tesT"), message),
              Result::CommentMismatch);
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), withLine(2, "trusted comment: "), message),
              Result::CommentMismatch);
    // The legacy signature's comment signed under the prehashed signature.
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), withLine(3, linesOf(legacy).at(3)), message),
              Result::CommentMismatch);
    // The global signature must cover exactly this signature.
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), withLine(1, linesOf(legacy).at(1)), message),
              Result::CommentMismatch);
}

// A release names its version in the trusted comment; the check wants exactly
// that text, and only after the comment's own signature has held.
TEST_F(MinisignTest, TheExpectedTrustedCommentMustBeExactlyTheSignedOne)
{
    const std::string release = key.signRelease(file, "1.0.3");
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), release, file, "kestrova 1.0.3"), Result::Verified);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), release, file), Result::Verified);
    for (const char* other : {"kestrova 1.0.2", "kestrova 1.0.3 ", "kestrova 1.0.", "Kestrova 1.0.3", "", "1.0.3"})
        EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), release, file, other), Result::OtherRelease) << other;
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), legacy, file, "kestrova test"), Result::Verified);
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), legacy, file, "kestrova 1.0.3"), Result::OtherRelease);

    // A comment rewritten to the expected text is no release of that version.
    std::vector<std::string> lines = linesOf(prehashed);
    lines.at(2) = "trusted comment: kestrova 1.0.3";
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), joined(lines), file, "kestrova 1.0.3"),
              Result::CommentMismatch);
    // Every other refusal keeps its own result.
    writeBytes(file, message + "x");
    EXPECT_EQ(Minisign::verifyFile(key.publicKeyText(), release, file, "kestrova 1.0.3"), Result::FileMismatch);
}

TEST_F(MinisignTest, AnotherKeysSignatureIsRefusedByIdAndByTheSignatureItself)
{
    const MinisignKeyPair stranger(folder.path(), "stranger");
    const std::filesystem::path copy = folder / "copy.exe";
    writeBytes(copy, message);
    const std::string foreign = stranger.sign(copy);
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), foreign, message), Result::KeyIdMismatch);
    EXPECT_EQ(Minisign::verify(stranger.publicKeyText(), prehashed, message), Result::KeyIdMismatch);
    EXPECT_EQ(Minisign::verify(stranger.publicKeyText(), foreign, message), Result::Verified);

    // The stranger's signature wearing our key id still fails on the signature.
    std::vector<std::string> lines = linesOf(foreign);
    std::string bytes = decoded(lines[1]);
    bytes.replace(2, 8, decoded(key.publicKeyLine()).substr(2, 8));
    lines[1] = encoded(bytes);
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), joined(lines), message), Result::FileMismatch);
}

TEST_F(MinisignTest, OnlyTheTwoEd25519FormsAreKnown)
{
    for (const std::string algorithm : {"Ex", "ed", "eD", "dE", "EE"}) {
        const std::string signature =
            withSignatureBytes([&algorithm](std::string& bytes) { bytes.replace(0, 2, algorithm); });
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, message), Result::UnknownAlgorithm) << algorithm;
    }
    // A prehashed signature relabelled as legacy checks the file, not its hash.
    const std::string relabelled = withSignatureBytes([](std::string& bytes) { bytes[1] = 'd'; });
    EXPECT_EQ(Minisign::verify(key.publicKeyText(), relabelled, message), Result::FileMismatch);

    // Public keys carry "Ed" only.
    std::string keyBytes = decoded(key.publicKeyLine());
    keyBytes[1] = 'D';
    EXPECT_EQ(Minisign::verify(encoded(keyBytes), prehashed, message), Result::BadPublicKey);
}

TEST_F(MinisignTest, EveryTruncationOfTheSignatureFileIsMalformed)
{
    // All but the final line end are needed.
    for (std::size_t length = 0; length + 1 < prehashed.size(); ++length)
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), prehashed.substr(0, length), message),
                  Result::BadSignatureFile)
            << "first " << length << " bytes";
}

TEST_F(MinisignTest, MalformedSignatureLinesAreRefused)
{
    const std::string signatureLine = linesOf(prehashed).at(1);
    const std::string globalLine = linesOf(prehashed).at(3);
    const std::pair<std::string, std::string> damaged[] = {
        {"no untrusted comment", withLine(0, "comment: signature")},
        {"comment keyword in capitals", withLine(0, "Untrusted comment: signature")},
        {"no trusted comment", withLine(2, "kestrova test")},
        {"trusted comment prefix only in part", withLine(2, "trusted comment:kestrova test")},
        {"a character outside base64", withLine(1, "*" + signatureLine.substr(1))},
        {"a blank inside base64", withLine(1, signatureLine.substr(0, 20) + " " + signatureLine.substr(20))},
        {"a trailing blank after base64", withLine(1, signatureLine + " ")},
        {"padding missing", withLine(1, signatureLine.substr(0, signatureLine.find('=')))},
        {"base64 of one byte too few", withSignatureBytes([](std::string& bytes) { bytes.pop_back(); })},
        {"base64 of one byte too many", withSignatureBytes([](std::string& bytes) { bytes += 'x'; })},
        {"global signature one byte short", withLine(3, encoded(decoded(globalLine).substr(1)))},
        {"global signature in URL-safe base64", withLine(3, encoded(std::string(64, '\xfb')).replace(0, 1, "-"))},
        {"an empty global signature", withLine(3, "")},
        {"lines swapped", joined({linesOf(prehashed)[0], linesOf(prehashed)[2], linesOf(prehashed)[1], globalLine})},
        {"a fifth line", prehashed + "untrusted comment: more\n"},
        {"a line before", "\n" + prehashed},
        {"carriage returns only", std::string(200, '\r')},
        {"nothing", ""},
    };
    for (const auto& [what, signature] : damaged)
        EXPECT_EQ(Minisign::verify(key.publicKeyText(), signature, message), Result::BadSignatureFile) << what;
}

TEST_F(MinisignTest, MalformedPublicKeysAreRefused)
{
    const std::string line = key.publicKeyLine();
    const std::string damaged[] = {
        "",
        " \r\n ",
        line.substr(0, line.size() - 4),
        line + "AAAA",
        "#" + line.substr(1),
        encoded(decoded(line).substr(0, 41)),
        encoded(decoded(line) + "x"),
        "comment: minisign public key\n" + line,
        "untrusted comment: minisign public key\n" + line + "\n" + line,
        "untrusted comment: minisign public key",
        linesOf(prehashed).at(1),   // a signature, not a key
    };
    for (const std::string& text : damaged) {
        Minisign::PublicKey parsed;
        EXPECT_EQ(Minisign::parsePublicKey(text, parsed), Result::BadPublicKey) << text;
        EXPECT_EQ(Minisign::verify(text, prehashed, message), Result::BadPublicKey) << text;
    }
}

} // namespace
} // namespace kestrova
