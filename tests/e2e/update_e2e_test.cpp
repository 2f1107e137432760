// The update check and the self-update in the program's windows, against the
// real score server on loopback, with a key pair made by minisign and the
// installer signed as a release is: which version texts offer the update,
// declining, a signed installer downloaded and started, and every refused
// download leaving the program folder as it was, the executable never moved.
// Starting the installer and ending the process are recorded here; the update
// program test does both for real.

#include "app/programwindows.h"
#include "game/random.h"
#include "online/httpget.h"
#include "online/selfupdate.h"
#include "platform/detachedstart.h"
#include "ui/aboutform.h"
#include "support/clickcontrol.h"
#include "support/loopbackhttp.h"
#include "support/minisigntool.h"
#include "support/recordingsoundsink.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

namespace {

const QByteArray kOldProgram = "the program as it was";
const QByteArray kInstaller = "#!/bin/sh\necho installing \"$@\"\n";
// The version the server offers, and the installer is released as.
const char* const kOffered = "1.0.1";

struct StartedProgram {
    QString program;
    QStringList arguments;
    bool executable = false;
    QByteArray content;
};

} // namespace

class UpdateEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aVersionTextOtherThanOursOffersTheUpdate_data();
    void aVersionTextOtherThanOursOffersTheUpdate();
    void withTheOptionOffNoCheckStarts();
    void decliningHidesThePanelAndTheNextStartAsksAgain();
    void acceptingStartsTheSignedInstallerAndEndsTheProcess();
    void aRefusedDownloadStartsNothingAndPutsTheProgramBack_data();
    void aRefusedDownloadStartsNothingAndPutsTheProgramBack();
    void anInstallerThatWontStartIsReportedAndRemoved();
    void anInstallerFileThatCantBeMadeIsAnErrorAndTheProgramKeepsItsName_data();
    void anInstallerFileThatCantBeMadeIsAnErrorAndTheProgramKeepsItsName();
    void aStartRemovesWhatADeadDownloadLeft();
    void closingTheWindowDuringASlowDownloadEndsTheWait();

private:
    void startServer(const QByteArray& version, bool withInstaller = true);
    // The program's windows, shown, once their update check has been answered.
    std::unique_ptr<ProgramWindows> checkedWindows();
    void accept(ProgramWindows& windows);
    QString programFile(const QString& name) const { return programDir.filePath(name); }
    QStringList programFolderContents() const { return QDir(programDir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }
    static bool panelShown(ProgramWindows& windows) { return windows.main.findChild<QWidget*>("panel_update")->isVisible(); }
    static QString labelUpdate(ProgramWindows& windows) { return windows.main.findChild<QLabel*>("label_update")->text(); }

    QTemporaryDir dataDir;
    QTemporaryDir workDir;
    QTemporaryDir programDir;
    QString installerDir;
    std::unique_ptr<testing::MinisignKeyPair> key;
    Random random;
    RecordingSoundSink sounds;
    std::unique_ptr<testing::ServerProcess> server;

    QStringList statuses;
    QList<StartedProgram> started;
    bool startSucceeds = true;
    QList<int> exitCodes;
};

void UpdateEndToEndTest::init()
{
    for (const QString& file : QDir(dataDir.path()).entryList(QDir::Files))
        QFile::remove(dataDir.filePath(file));
    QDir(programDir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(programDir.path()));
    installerDir = workDir.filePath(QStringLiteral("installer-%1").arg(QTest::currentTestFunction()) +
                                    QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(installerDir));
    if (!key)
        key = std::make_unique<testing::MinisignKeyPair>(workDir.path().toStdString(), "release");

    // The program folder holds the "executable" that the update moves aside.
    QFile program(programFile("kestrova"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write(kOldProgram);
    program.close();
    QFile installer(QDir(installerDir).filePath("kessetup.exe"));
    QVERIFY(installer.open(QIODevice::WriteOnly));
    installer.write(kInstaller);
    installer.close();
    key->signRelease(installer.fileName().toStdString(), kOffered);

    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
    qputenv("KESTROVA_SERVER", "localhost");
    qputenv("KESTROVA_UPDATE_PUBKEY", QByteArray::fromStdString(key->publicKeyText()));
    statuses.clear();
    started.clear();
    exitCodes.clear();
    startSucceeds = true;
    setDetachedStarter([this](const QString& program, const QStringList& arguments) {
        QFile file(program);
        file.open(QIODevice::ReadOnly);
        started.append({program, arguments, QFileInfo(program).isExecutable(), file.readAll()});
        return startSucceeds;
    });
}

void UpdateEndToEndTest::cleanup()
{
    server.reset();
    setDetachedStarter({});
    for (const char* name : {"KESTROVA_DATA_DIR", "KESTROVA_SERVER", "KESTROVA_CONNECT_TO", "KESTROVA_UPDATE_PUBKEY"})
        qunsetenv(name);
}

void UpdateEndToEndTest::startServer(const QByteArray& version, bool withInstaller)
{
    std::vector<std::string> options{"--db", workDir.filePath("scores.db").toStdString(), "--version",
                                     version.toStdString()};
    if (withInstaller)
        options.insert(options.end(), {"--installer-dir", installerDir.toStdString()});
    server = std::make_unique<testing::ServerProcess>(KESTROVA_SERVER_PATH, options);
    qputenv("KESTROVA_CONNECT_TO", QByteArray("localhost:80:127.0.0.1:") + QByteArray::number(server->port()));
}

std::unique_ptr<ProgramWindows> UpdateEndToEndTest::checkedWindows()
{
    auto windows = std::make_unique<ProgramWindows>(random, sounds);
    SelfUpdate& update = windows->main.selfUpdate();
    update.setExecutablePath(programFile("kestrova"));
    update.setProcessEnder([this](int code) { exitCodes << code; });
    connect(&update, &SelfUpdate::statusShown, this, [this](const QString& text) { statuses << text; });
    auto* check = windows->main.findChild<THTTPGet*>("checkupdate");
    QSignalSpy answered(check, &THTTPGet::OnDoneString);
    windows->main.show();
    if (!answered.wait(20000))
        return nullptr;
    return windows;
}

void UpdateEndToEndTest::accept(ProgramWindows& windows)
{
    QVERIFY(panelShown(windows));
    QVERIFY(testing::clickControl(&windows.main, "button_updateyes"));
    QVERIFY(!windows.main.findChild<QWidget*>("button_updateyes")->isVisible());
    QVERIFY(!windows.main.findChild<QWidget*>("button_updatecancel")->isVisible());
}

void UpdateEndToEndTest::aVersionTextOtherThanOursOffersTheUpdate_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("offered");
    QTest::newRow("an older version") << QByteArray("1.0.1") << true;
    QTest::newRow("ours with a line end") << QByteArray("1.0.2\n") << true;
    QTest::newRow("ours in other words") << QByteArray(" 1.0.2") << true;
    QTest::newRow("ours exactly") << QByteArray("1.0.2") << false;
}

void UpdateEndToEndTest::aVersionTextOtherThanOursOffersTheUpdate()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, offered);
    startServer(version);
    const auto windows = checkedWindows();
    QVERIFY(windows);
    QCOMPARE(panelShown(*windows), offered);
    // The answer is compared with the program's version, not read off a window.
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!qobject_cast<Tabout*>(window), "the check built the about window");
    if (offered) {
        // In front of the name panel that every start opens with.
        QWidget* board = windows->main.findChild<QWidget*>("panel_board1");
        QWidget* panel = windows->main.findChild<QWidget*>("panel_update");
        QVERIFY(windows->main.findChild<QWidget*>("panel_name")->isVisible());
        QVERIFY(panel->isAncestorOf(board->childAt(panel->geometry().topLeft() + QPoint(5, 5))));
        QCOMPARE(labelUpdate(*windows), QString());
    }
}

void UpdateEndToEndTest::withTheOptionOffNoCheckStarts()
{
    testing::TestHttpServer versions;
    versions.setReply({testing::TestHttpServer::response("200 OK", "1.0.1")});
    qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(versions.route()));
    QFile ini(dataDir.filePath("kestrova.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[kestrova]\nUpdate=false\n");
    ini.close();
    ProgramWindows windows(random, sounds);
    auto* check = windows.main.findChild<THTTPGet*>("checkupdate");
    windows.main.show();
    QVERIFY(!check->isRunning());

    // The same start with the option on checks once its window is painted.
    // Its request is the first and only one the server sees: the start above
    // sent none, though its window has been painted meanwhile too.
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[kestrova]\nUpdate=true\n");
    ini.close();
    ProgramWindows checking(random, sounds);
    auto* checkingCheck = checking.main.findChild<THTTPGet*>("checkupdate");
    QSignalSpy answered(checkingCheck, &THTTPGet::OnDoneString);
    checking.main.show();
    QVERIFY(!checkingCheck->isRunning());   // not before the first frame
    QVERIFY(answered.wait(20000));
    QCOMPARE(versions.requestCount(), size_t(1));
    const std::string request = versions.requests().at(0);
    QCOMPARE(request.substr(0, request.find("\r\n")), std::string("GET /kestrova/kestrovaversion.txt HTTP/1.0"));
    QVERIFY(panelShown(checking));
    QVERIFY(!panelShown(windows));
}

void UpdateEndToEndTest::decliningHidesThePanelAndTheNextStartAsksAgain()
{
    startServer(kOffered);
    {
        const auto windows = checkedWindows();
        QVERIFY(windows && panelShown(*windows));
        QVERIFY(testing::clickControl(&windows->main, "button_updatecancel"));
        QVERIFY(!panelShown(*windows));
        windows->main.close();
    }
    const auto again = checkedWindows();
    QVERIFY(again && panelShown(*again));
    QCOMPARE(programFolderContents(), QStringList{"kestrova"});
    QVERIFY(started.isEmpty());
}

void UpdateEndToEndTest::acceptingStartsTheSignedInstallerAndEndsTheProcess()
{
    // A backup from an earlier attempt gives way to this one.
    QFile stale(programFile("kestrova.BAK"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("an older backup");
    stale.close();
    startServer(kOffered);
    const auto windows = checkedWindows();
    QVERIFY(windows);
    accept(*windows);

    QCOMPARE(statuses, (QStringList{QStringLiteral("Received %1 bytes").arg(kInstaller.size()), "Installing"}));
    QCOMPARE(labelUpdate(*windows), QString("Installing"));
    QCOMPARE(started.size(), 1);
    QCOMPARE(started[0].program, programFile("kessetup.exe"));
    QCOMPARE(started[0].arguments, (QStringList{"/SP-", "/silent", "/noicons"}));
    QVERIFY(started[0].executable);
    QCOMPARE(started[0].content, kInstaller);
    QCOMPARE(exitCodes, QList<int>{0});
    // The installer finds the executable's name free; the program waits under its backup name.
    QCOMPARE(programFolderContents(), (QStringList{"kessetup.exe", "kestrova.BAK"}));
    QFile backup(programFile("kestrova.BAK"));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), kOldProgram);
    QVERIFY(!QFile::exists(dataDir.filePath("kestrova.ini")));
}

void UpdateEndToEndTest::aRefusedDownloadStartsNothingAndPutsTheProgramBack_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("downloaded");
    QTest::newRow("no installer") << "no installer" << false;
    QTest::newRow("no signature") << "no signature" << true;
    QTest::newRow("signed by another key") << "another key" << true;
    // Signed with the release key, but as another release than the one offered.
    QTest::newRow("an older release offered as the new one") << "older release" << true;
    QTest::newRow("the offered version with more to it") << "longer comment" << true;
    QTest::newRow("a comment naming no version") << "no version" << true;
    QTest::newRow("installer changed after signing") << "tampered" << true;
    QTest::newRow("signature file damaged") << "damaged signature" << true;
    QTest::newRow("signed by a key of the right id only") << "forged key" << true;
    // Refused before anything is fetched.
    QTest::newRow("no trusted key") << "no key" << false;
    QTest::newRow("a trusted key that is no key") << "bad key" << false;
}

void UpdateEndToEndTest::aRefusedDownloadStartsNothingAndPutsTheProgramBack()
{
    QFETCH(QString, damage);
    QFETCH(bool, downloaded);
    const QString installer = QDir(installerDir).filePath("kessetup.exe");
    if (damage == "no signature") {
        QVERIFY(QFile::remove(installer + ".minisig"));
    } else if (damage == "another key") {
        testing::MinisignKeyPair(workDir.path().toStdString(), "stranger").signRelease(installer.toStdString(),
                                                                                      kOffered);
    } else if (damage == "older release") {
        key->signRelease(installer.toStdString(), "1.0.0");
    } else if (damage == "longer comment") {
        key->signRelease(installer.toStdString(), std::string(kOffered) + " beta");
    } else if (damage == "no version") {
        key->sign(installer.toStdString(), false, "kestrova");
    } else if (damage == "tampered") {
        QFile file(installer);
        QVERIFY(file.open(QIODevice::Append));
        file.write("rm -rf \"$HOME\"\n");
    } else if (damage == "damaged signature") {
        QFile file(installer + ".minisig");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("untrusted comment: nothing\nnot a signature\n");
    } else if (damage == "no key") {
        qputenv("KESTROVA_UPDATE_PUBKEY", "");
    } else if (damage == "forged key") {
        // Well-formed, with the release key's id, but another key.
        QByteArray keyBytes = QByteArray::fromBase64(QByteArray::fromStdString(key->publicKeyLine()));
        keyBytes[20] = static_cast<char>(keyBytes[20] ^ 1);
        qputenv("KESTROVA_UPDATE_PUBKEY", keyBytes.toBase64());
    } else if (damage == "bad key") {
        qputenv("KESTROVA_UPDATE_PUBKEY", "untrusted comment: minisign public key\nnot a key\n");
    }
    const qint64 served = QFileInfo(installer).size();
    startServer(kOffered, damage != "no installer");
    const auto windows = checkedWindows();
    QVERIFY(windows);
    accept(*windows);

    QStringList expected{"Download Aborted"};
    if (downloaded)
        expected.prepend(QStringLiteral("Received %1 bytes").arg(served));
    QCOMPARE(statuses, expected);
    QCOMPARE(labelUpdate(*windows), QString("Download Aborted"));
    QVERIFY(panelShown(*windows));
    QVERIFY(started.isEmpty());
    QVERIFY(exitCodes.isEmpty());
    QCOMPARE(programFolderContents(), QStringList{"kestrova"});
    QFile program(programFile("kestrova"));
    QVERIFY(program.open(QIODevice::ReadOnly));
    QCOMPARE(program.readAll(), kOldProgram);
}

void UpdateEndToEndTest::anInstallerThatWontStartIsReportedAndRemoved()
{
    startServer(kOffered);
    const auto windows = checkedWindows();
    QVERIFY(windows);
    QStringList messages;
    windows->main.setMessageReporter([&](const QString& message) { messages << message; });
    startSucceeds = false;
    accept(*windows);

    QCOMPARE(started.size(), 1);
    QCOMPARE(messages, QStringList{"There was an error in the update process. Please download KESTROVA manually "
                                   "from http://localhost."});
    QCOMPARE(labelUpdate(*windows), QString("Installing"));
    QVERIFY(exitCodes.isEmpty());
    QCOMPARE(programFolderContents(), QStringList{"kestrova"});
}

void UpdateEndToEndTest::anInstallerFileThatCantBeMadeIsAnErrorAndTheProgramKeepsItsName_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<QString>("received");
    // The download itself can't be made: nothing is fetched.
    QTest::newRow("the download") << "kessetup.exe.part" << QString();
    // The checked download can't take the installer's name.
    QTest::newRow("the installer") << "kessetup.exe" << QStringLiteral("Received %1 bytes").arg(kInstaller.size());
}

void UpdateEndToEndTest::anInstallerFileThatCantBeMadeIsAnErrorAndTheProgramKeepsItsName()
{
    QFETCH(QString, blocked);
    QFETCH(QString, received);
    startServer(kOffered);
    // A folder, not empty, where the file should go.
    QVERIFY(QDir().mkpath(programFile(blocked) + "/inside"));
    const auto windows = checkedWindows();
    QVERIFY(windows);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, windows->main.button_updateyesClick());
    QCOMPARE(statuses, received.isEmpty() ? QStringList() : QStringList{received});
    QCOMPARE(programFolderContents(), (QStringList{blocked, "kestrova"}));
    QVERIFY(QFileInfo(programFile(blocked)).isDir());
    QVERIFY(started.isEmpty());
}

void UpdateEndToEndTest::aStartRemovesWhatADeadDownloadLeft()
{
    for (const char* name : {"kessetup.exe.part", "kessetup.exe", "kestrova.BAK"}) {
        QFile file(programFile(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("left over");
    }
    ProgramWindows windows(random, sounds);
    SelfUpdate& update = windows.main.selfUpdate();
    update.setExecutablePath(programFile("kestrova"));
    QCOMPARE(update.downloadPath(), programFile("kessetup.exe.part"));
    update.removeLeftoverDownloads();
    // A finished installer's file and a backup are not a download's: an
    // installer may still be running from them.
    QCOMPARE(programFolderContents(), (QStringList{"kessetup.exe", "kestrova", "kestrova.BAK"}));
}

void UpdateEndToEndTest::closingTheWindowDuringASlowDownloadEndsTheWait()
{
    // The installer's head arrives, then the server stalls.
    testing::TestHttpServer slow;
    slow.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\npartial", true});
    startServer(kOffered);
    const auto windows = checkedWindows();
    QVERIFY(windows);
    qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(slow.route()));

    // The window's timers go on while the click waits for the download.
    int ticksDuringDownload = 0;
    QString labelDuringDownload;
    bool movedAsideDuringDownload = true;
    bool downloadingBesideTheProgram = false;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        if (ticksDuringDownload == 3 || !windows->main.selfUpdate().isDownloading() || slow.requestCount() == 0)
            return;
        if (++ticksDuringDownload == 3) {
            labelDuringDownload = labelUpdate(*windows);
            movedAsideDuringDownload = QFile::exists(programFile("kestrova.BAK")) || !QFile::exists(programFile("kestrova"));
            downloadingBesideTheProgram = QFile::exists(programFile("kessetup.exe.part"));
            windows->main.close();
        }
    });
    tick.start(1);
    accept(*windows);
    tick.stop();

    QCOMPARE(ticksDuringDownload, 3);
    QCOMPARE(labelDuringDownload, QString("Updating. Please Wait..."));
    // The executable stays where it is until the installer has passed its check.
    QVERIFY(!movedAsideDuringDownload);
    QVERIFY(downloadingBesideTheProgram);
    QVERIFY(!windows->main.isVisible());
    QCOMPARE(statuses, QStringList{"Download Aborted"});
    QVERIFY(slow.waitForHangUps(1));
    QCOMPARE(slow.requestCount(), size_t(1));
    QVERIFY(started.isEmpty());
    QVERIFY(programFolderContents().contains("kestrova"));
    QVERIFY(!programFolderContents().contains("kestrova.BAK"));
    QVERIFY(!programFolderContents().contains("kessetup.exe"));
    QVERIFY(!programFolderContents().contains("kessetup.exe.part"));
    // The close itself went the ordinary way: the settings were saved.
    QVERIFY(QFile::exists(dataDir.filePath("kestrova.ini")));
}

QTEST_MAIN(UpdateEndToEndTest)
#include "update_e2e_test.moc"
