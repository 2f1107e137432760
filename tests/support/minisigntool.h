// Key pairs and signatures made by the real minisign tool, so that the checks
// are tested against what release managers actually produce.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kestrova::testing {

class MinisignKeyPair {
public:
    // Makes an unencrypted key pair NAME.pub / NAME.key in `folder`.
    MinisignKeyPair(const std::filesystem::path& folder, const std::string& name)
        : publicKeyFile_(folder / (name + ".pub")), secretKeyFile_(folder / (name + ".key"))
    {
        run("minisign -G -W -p '" + publicKeyFile_.string() + "' -s '" + secretKeyFile_.string() + "'");
    }

    // The public-key file's text, both lines.
    std::string publicKeyText() const { return slurp(publicKeyFile_); }
    // The key line alone, as "minisign -P" takes it.
    std::string publicKeyLine() const
    {
        const std::string text = publicKeyText();
        const std::size_t start = text.find('\n') + 1;
        return text.substr(start, text.find('\n', start) - start);
    }

    // Signs `file` into `file`.minisig (prehashed, or legacy when asked) and returns its text.
    std::string sign(const std::filesystem::path& file, bool legacy = false,
                     const std::string& trustedComment = "kestrova test") const
    {
        run("minisign -S " + std::string(legacy ? "-l " : "") + "-s '" + secretKeyFile_.string() + "' -t '" +
            trustedComment + "' -m '" + file.string() + "'");
        return slurp(file.string() + ".minisig");
    }

    // Signs an installer as the README's release steps do, the version named
    // in the trusted comment:
    //   minisign -S -s KEY -t "kestrova VERSION" -m kessetup.exe
    std::string signRelease(const std::filesystem::path& installer, const std::string& version) const
    {
        run("minisign -S -s '" + secretKeyFile_.string() + "' -t 'kestrova " + version + "' -m '" +
            installer.string() + "'");
        return slurp(installer.string() + ".minisig");
    }

    static std::string slurp(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static void run(const std::string& command)
    {
        if (std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) != 0)
            throw std::runtime_error("test set-up failed: " + command);
    }

    std::filesystem::path publicKeyFile_;
    std::filesystem::path secretKeyFile_;
};

} // namespace kestrova::testing
