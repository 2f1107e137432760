#include "online/selfupdate.h"

#include "online/httpclient.h"
#include "online/minisign.h"
#include "online/serverconfig.h"
#include "platform/detachedstart.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <stdexcept>

#ifndef KESTROVA_UPDATE_PUBKEY
#define KESTROVA_UPDATE_PUBKEY ""
#endif

namespace kestrova {

namespace {

// Takes at most `capacity` bytes: a hostile server can't fill the memory.
class CappedBuffer : public QBuffer {
public:
    explicit CappedBuffer(qint64 capacity) : capacity_(capacity) {}

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        if (size() + length > capacity_) {
            setErrorString(QStringLiteral("the reply is too long"));
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    qint64 capacity_;
};

// The receive stream of one Get, cleared again however the Get ends.
class ReceivingInto {
public:
    ReceivingInto(THttpClient& client, QIODevice& stream) : client_(client) { client_.setRcvdStream(&stream); }
    ~ReceivingInto() { client_.setRcvdStream(nullptr); }
    ReceivingInto(const ReceivingInto&) = delete;
    ReceivingInto& operator=(const ReceivingInto&) = delete;

private:
    THttpClient& client_;
};

} // namespace

SelfUpdate::SelfUpdate(const QString& programname, QObject* parent)
    : QObject(parent), programname_(programname), executablePath_(QCoreApplication::applicationFilePath()),
      getupdate_(new THttpClient(this)), endProcess_([](int exitCode) { std::_Exit(exitCode); })
{
    setObjectName(QStringLiteral("selfupdate"));
    getupdate_->setObjectName(QStringLiteral("getupdate"));
}

SelfUpdate::~SelfUpdate() = default;

QString SelfUpdate::backupPath() const
{
    const QFileInfo executable(executablePath_);
    return executable.dir().filePath(executable.completeBaseName() + QStringLiteral(".BAK"));
}

QString SelfUpdate::installerURL() const
{
    return QStringLiteral("http://") + ServerConfig::host() + QStringLiteral("/") + programname_ +
           QStringLiteral("/kessetup.exe");
}

QString SelfUpdate::installerPath() const
{
    const QString url = installerURL();
    return QFileInfo(executablePath_).dir().filePath(url.mid(url.lastIndexOf(u'/') + 1));
}

QByteArray SelfUpdate::trustedKey()
{
    if (qEnvironmentVariableIsSet("KESTROVA_UPDATE_PUBKEY"))
        return qgetenv("KESTROVA_UPDATE_PUBKEY");
    return QByteArrayLiteral(KESTROVA_UPDATE_PUBKEY);
}

QString SelfUpdate::manualDownloadMessage() const
{
    return QStringLiteral("There was an error in the update process. Please download ") + programname_.toUpper() +
           QStringLiteral(" manually from http://") + ServerConfig::host() + QStringLiteral(".");
}

QString SelfUpdate::downloadPath() const
{
    return installerPath() + QStringLiteral(".part");
}

QString SelfUpdate::expectedTrustedComment() const
{
    return programname_ + QStringLiteral(" ") + offeredVersion_;
}

void SelfUpdate::removeLeftoverDownloads() const
{
    QFile::remove(downloadPath());
}

bool SelfUpdate::isDownloading() const
{
    return getupdate_->isRunning();
}

void SelfUpdate::abort()
{
    aborted_ = true;
    getupdate_->abort();
}

SelfUpdate::Outcome SelfUpdate::downloadit()
{
    aborted_ = false;
    // Checked first: without a usable key no download could ever be started.
    const QByteArray key = trustedKey();
    Minisign::PublicKey parsedKey;
    if (const Minisign::Result result = Minisign::parsePublicKey(key.toStdString(), parsedKey);
        result != Minisign::Result::Verified)
        return refuse(key.trimmed().isEmpty() ? QStringLiteral("no trusted key is configured")
                                              : QString::fromUtf8(Minisign::describe(result)));

    getupdate_->setURL(installerURL());
    QFile download(downloadPath());
    if (!download.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file \"" + QDir::toNativeSeparators(download.fileName()).toStdString() +
                                 "\". " + download.errorString().toStdString());
    downloaded_ = true;
    try {
        const ReceivingInto receiving(*getupdate_, download);
        getupdate_->Get();
    } catch (const EHttpError& error) {
        download.close();
        return refuse(QString::fromUtf8(error.what()));
    } catch (...) {
        download.close();
        discardDownload();
        throw;
    }
    // A write the disk refused shows only at the flush of the close.
    if (!download.flush()) {
        const std::string reason = download.errorString().toStdString();
        download.close();
        discardDownload();
        throw std::runtime_error("Cannot write file \"" + QDir::toNativeSeparators(download.fileName()).toStdString() +
                                 "\". " + reason);
    }
    download.close();
    emit statusShown(QStringLiteral("Received ") + QString::number(download.size()) + QStringLiteral(" bytes"));

    const QByteArray signature = fetchSignature();
    if (signature.isEmpty())
        return refuse(QStringLiteral("the signature could not be fetched"));
    const Minisign::Result verdict =
        Minisign::verifyFile(key.toStdString(), signature.toStdString(), QFile::encodeName(downloadPath()).toStdString(),
                             expectedTrustedComment().toStdString());
    if (verdict != Minisign::Result::Verified)
        return refuse(QString::fromUtf8(Minisign::describe(verdict)));

    putInstallerInPlace();
    emit statusShown(QStringLiteral("Installing"));
    // From here on the folder changes for the installer: its file under its
    // own name, the executable's name free.
    backupExecutable();
    if (!startDetached(installerPath(), QString::fromLatin1(kInstallerParameters))) {
        discardDownload();
        restoreExecutable();
        return Outcome::NotStarted;
    }
    endProcess_(0);
    return Outcome::Started;
}

// The signature's text, or nothing when it can't be had (or the window closed).
QByteArray SelfUpdate::fetchSignature()
{
    if (aborted_)
        return {};
    CappedBuffer signature(kMaxSignatureBytes);
    signature.open(QIODevice::WriteOnly);
    getupdate_->setURL(installerURL() + QStringLiteral(".minisig"));
    try {
        const ReceivingInto receiving(*getupdate_, signature);
        getupdate_->Get();
    } catch (const std::exception&) {
        return {};
    }
    return aborted_ ? QByteArray() : signature.data();
}

// The checked download becomes the installer; one left by an earlier
// attempt gives way. Throws, as the file's creation does, when it can't.
void SelfUpdate::putInstallerInPlace()
{
    QFile::remove(installerPath());
    QFile download(downloadPath());
    download.setPermissions(download.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser |
                            QFileDevice::ExeGroup | QFileDevice::ExeOther);
    if (!download.rename(installerPath())) {
        const std::string reason = download.errorString().toStdString();
        discardDownload();
        throw std::runtime_error("Cannot create file \"" + QDir::toNativeSeparators(installerPath()).toStdString() +
                                 "\". " + reason);
    }
    downloaded_ = false;
    placed_ = true;
}

// Deletes an older backup, then moves the executable to the backup name.
void SelfUpdate::backupExecutable()
{
    QFile::remove(backupPath());
    movedAside_ = QFile::rename(executablePath_, backupPath());
}

SelfUpdate::Outcome SelfUpdate::refuse(const QString& reason)
{
    qWarning("%s: the update was not installed: %s", qPrintable(programname_), qPrintable(reason));
    discardDownload();
    emit statusShown(QStringLiteral("Download Aborted"));
    return Outcome::Aborted;
}

void SelfUpdate::discardDownload()
{
    if (downloaded_ && QFile::remove(downloadPath()))
        downloaded_ = false;
    if (placed_ && QFile::remove(installerPath()))
        placed_ = false;
}

void SelfUpdate::restoreExecutable()
{
    if (movedAside_ && QFile::rename(backupPath(), executablePath_))
        movedAside_ = false;
}

} // namespace kestrova
