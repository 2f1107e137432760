// The self-update: the installer downloaded beside the executable under a
// temporary name, its minisign signature fetched and checked against the
// trusted key and the version that was offered, and only then the installer
// given its own name, the running executable moved aside to its backup name
// and the installer started, after which the process ends at once. Until the
// check has passed nothing but the temporary file is touched, so a failure,
// or the process dying while it waits, can't leave the folder without the
// game; the next start removes what a dead download left.
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
    // Where the installer is downloaded to before it is checked: the
    // installer's path + ".part".
    QString downloadPath() const;

    // The version text the server offered; the installer's signature must
    // carry exactly "programname version" as its trusted comment.
    void setOfferedVersion(const QString& version) { offeredVersion_ = version; }
    QString offeredVersion() const { return offeredVersion_; }
    QString expectedTrustedComment() const;

    // Deletes what an earlier download left behind (it died, or the process
    // did); called once at start, before any download can run.
    void removeLeftoverDownloads() const;

    // The minisign public key that installers must be signed with:
    // KESTROVA_UPDATE_PUBKEY from the environment when it is set (set but
    // empty trusts no key), else the one built in with the option of that name.
    static QByteArray trustedKey();

    // Downloads, checks and starts the installer, showing its progress through
    // statusShown; once the installer runs, ends the process with exit code 0.
    // Throws when the installer file can't be created or written; the
    // executable has not been moved then.
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
    void putInstallerInPlace();
    void backupExecutable();
    void discardDownload();
    void restoreExecutable();

    QString programname_;
    QString executablePath_;
    QString offeredVersion_;
    THttpClient* getupdate_;
    ProcessEnder endProcess_;
    bool movedAside_ = false;   // the executable is under the backup name because of us
    bool downloaded_ = false;   // the download file is ours to delete
    bool placed_ = false;       // so is the installer under its own name
    bool aborted_ = false;
};

} // namespace kestrova
