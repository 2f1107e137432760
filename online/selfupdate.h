// The self-update: the running executable moved aside to its backup name, the
// installer and its minisign signature downloaded into the program folder,
// the signature checked against the trusted key, and the installer started,
// after which the process ends at once. When anything short of the start
// fails, the executable gets its name back and the download is deleted, so
// the program still starts next time and leaves nothing behind.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace kestrova {

class THttpClient;

class SelfUpdate : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Started,      // the installer runs; only a test's process ender returns to see this
        Aborted,      // "Download Aborted": the download, the signature or the trusted key failed
        NotStarted,   // the installer was checked but could not be started
    };

    static constexpr const char* kInstallerParameters = "/SP- /silent /noicons";
    // A signature file is a few hundred bytes; a reply larger than this is refused.
    static constexpr qint64 kMaxSignatureBytes = 64 * 1024;

    explicit SelfUpdate(const QString& programname, QObject* parent = nullptr);
    ~SelfUpdate() override;

    // The executable that is moved aside: the running one unless set.
    QString executablePath() const { return executablePath_; }
    void setExecutablePath(const QString& path) { executablePath_ = path; }
    // The executable's path with its extension replaced by ".BAK"; a name
    // without one ("kestrova" on Linux) gets it added: "kestrova.BAK".
    QString backupPath() const;
    // "http://" + server host + "/" + programname + "/kessetup.exe".
    QString installerURL() const;
    // The executable's folder + the installer URL's last segment.
    QString installerPath() const;

    // The minisign public key that installers must be signed with:
    // KESTROVA_UPDATE_PUBKEY from the environment when it is set (set but
    // empty trusts no key), else the one built in with the option of that name.
    static QByteArray trustedKey();

    // Deletes an older backup, then moves the executable to the backup name.
    void backupExecutable();
    // Downloads, checks and starts the installer, showing its progress through
    // statusShown; once the installer runs, ends the process with exit code 0.
    // Throws when the installer file can't be created or written, after
    // putting the executable back.
    Outcome downloadit();
    // Ends a running download, which then counts as aborted; harmless otherwise.
    void abort();
    bool isDownloading() const;

    // "There was an error in the update process. Please download KESTROVA
    // manually from http://HOST."
    QString manualDownloadMessage() const;

    THttpClient* getupdate() const { return getupdate_; }

    // How the process ends after the installer has started: at once, with no
    // close handler and nothing saved. Tests record the call instead.
    using ProcessEnder = std::function<void(int exitCode)>;
    void setProcessEnder(ProcessEnder ender) { endProcess_ = std::move(ender); }

signals:
    // The progress text for the update panel.
    void statusShown(const QString& text);

private:
    Outcome refuse(const QString& reason);
    QByteArray fetchSignature();
    void discardDownload();
    void restoreExecutable();

    QString programname_;
    QString executablePath_;
    THttpClient* getupdate_;
    ProcessEnder endProcess_;
    bool movedAside_ = false;   // the executable is under the backup name because of us
    bool written_ = false;      // the installer file is ours to delete
    bool aborted_ = false;
};

} // namespace kestrova
