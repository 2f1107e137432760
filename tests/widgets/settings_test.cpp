// The main window's settings: read at start from kestrova.ini in the program's
// data folder, written on option changes and at close.

#include "app/mainform.h"
#include "app/settings.h"
#include "platform/inifile.h"
#include "game/random.h"
#include "support/recordingsoundsink.h"
#include "ui/nameedit.h"
#include "platform/workarea.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstRunUsesTheDefaults();
    void preparedFileSetsPlaceNameAndOptions();
    void damagedValuesFallBackKeyByKey();
    void togglingAnOptionWritesEveryKey();
    void laterOptionsReachTheFileOnlyOnceSwitchedOn();
    void laterOptionsTakeOnlyAnExactYes();
    void closeWritesTheBoundsAndKeepsTheRestOfTheFile();
    void windowLargerThanTheWorkAreaShrinksBy3OnlyWhenMoved();
    void resetScreenLocationIsSavedWithTheNextWrite();
    void unwritableFileReportsAndGoesOn();
    void soundsFollowTheOption();
    void nameLimitBindsTypingOnly();
    void storedNamesAreBoundedInBytesOnACharacterEdge();
    void storeReadsWhatItWritesAndTellsNameChangesOnce();

private:
    QString iniPath() const { return dir->filePath("kestrova.ini"); }
    void writeIni(const QByteArray& text)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void startMain()
    {
        main = new Tmain(random, sounds);
        main->setErrorReporter([this](const QString& message) { errors << message; });
    }
    QAction* action(const char* name) const { return main->findChild<QAction*>(name); }
    QString nameText(const char* edit) const { return main->findChild<QLineEdit*>(edit)->text(); }

    std::unique_ptr<QTemporaryDir> dir;
    Random random;
    RecordingSoundSink sounds;
    Tmain* main = nullptr;
    QStringList errors;
};

void SettingsTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    qputenv("KESTROVA_DATA_DIR", dir->path().toLocal8Bit());
}

void SettingsTest::cleanup()
{
    delete main;
    main = nullptr;
    sounds.played.clear();
    errors.clear();
    qunsetenv("KESTROVA_DATA_DIR");
}

void SettingsTest::firstRunUsesTheDefaults()
{
    startMain();
    QCOMPARE(main->outerBounds().topLeft(), QPoint(3, 3));
    QCOMPARE(main->outerBounds().width(), 774);
    QVERIFY(action("PlaySounds1")->isChecked());
    QVERIFY(action("updatecheck")->isChecked());
    QCOMPARE(nameText("edit_name"), QString("Guest"));
    QCOMPARE(nameText("edit_aname"), QString("Guest"));
    QVERIFY(!QFile::exists(iniPath()));   // reading alone writes nothing
}

void SettingsTest::preparedFileSetsPlaceNameAndOptions()
{
    writeIni("; kept by hand\r\n[Kestrova]\r\ntop = 40\r\nLEFT=$20\r\nWidth=900\r\nHeight=0x258\r\n"
             "Name=\"  Bartholomew the Bold \"\r\nSounds=no\r\nUpdate=false\r\n");
    startMain();
    QCOMPARE(main->outerBounds(), QRect(32, 40, 900, 600));
    QVERIFY(!action("PlaySounds1")->isChecked());
    QVERIFY(!action("updatecheck")->isChecked());
    QCOMPARE(nameText("edit_name"), QString("  Bartholomew the Bold "));
    QCOMPARE(nameText("edit_aname"), nameText("edit_name"));
    QVERIFY(sounds.played.empty());   // "entered" stays silent
}

void SettingsTest::damagedValuesFallBackKeyByKey()
{
    writeIni("[kestrova]\nTop=abc\nLeft=50\nWidth=\nSounds=No\nUpdate=FALSE\nName=\n");
    startMain();
    QCOMPARE(main->outerBounds().top(), 3);
    QCOMPARE(main->outerBounds().left(), 50);
    QCOMPARE(main->outerBounds().width(), 774);
    QVERIFY(action("PlaySounds1")->isChecked());
    QVERIFY(action("updatecheck")->isChecked());
    QCOMPARE(nameText("edit_name"), QString());
    QCOMPARE(sounds.played, std::vector<std::string>{"entered"});
}

void SettingsTest::togglingAnOptionWritesEveryKey()
{
    startMain();
    main->findChild<NameEdit*>("edit_name")->setText("Ada");
    action("PlaySounds1")->trigger();
    QVERIFY(!action("PlaySounds1")->isChecked());
    QCOMPARE(readIni(), QByteArray("[kestrova]\nTop=3\nLeft=3\nWidth=774\nHeight=541\nName=Ada\nSounds=no\nUpdate=true\n"));
    action("updatecheck")->trigger();
    QVERIFY(readIni().endsWith("Sounds=no\nUpdate=false\n"));
    QVERIFY(errors.isEmpty());
}

// "Four-Colour Deck" and "Scale Board to Window" come after the seven keys,
// and only once switched on, so a reader that knows only the seven sees the
// same file, and a file that never had them is written as before.
void SettingsTest::laterOptionsReachTheFileOnlyOnceSwitchedOn()
{
    const QByteArray sevenKeys("[kestrova]\nTop=3\nLeft=3\nWidth=774\nHeight=541\nName=Guest\nSounds=yes\nUpdate=true\n");
    startMain();
    action("updatecheck")->trigger();
    action("updatecheck")->trigger();
    QCOMPARE(readIni(), sevenKeys);

    action("FourColourDeck1")->trigger();
    QCOMPARE(readIni(), sevenKeys + "FourColour=yes\n");
    action("FourColourDeck1")->trigger();
    QCOMPARE(readIni(), sevenKeys + "FourColour=no\n");
    action("ScaleBoardtoWindow1")->trigger();
    QCOMPARE(readIni(), sevenKeys + "FourColour=no\nScaleBoard=yes\n");
    main->close();
    QCOMPARE(readIni(), sevenKeys + "FourColour=no\nScaleBoard=yes\n");
    delete main;

    // Read again: the seven keys as before, the board scaled, two colours.
    startMain();
    QCOMPARE(nameText("edit_name"), QString("Guest"));
    QVERIFY(action("PlaySounds1")->isChecked());
    QVERIFY(!action("FourColourDeck1")->isChecked());
    QVERIFY(action("ScaleBoardtoWindow1")->isChecked());
    action("PlaySounds1")->trigger();
    QCOMPARE(readIni(), QByteArray(sevenKeys).replace("Sounds=yes", "Sounds=no") + "FourColour=no\nScaleBoard=yes\n");
}

void SettingsTest::laterOptionsTakeOnlyAnExactYes()
{
    // A hand-kept file: the keys in another order, other sections, odd values.
    writeIni("[kestrova]\r\nScaleBoard=Yes\r\nName=Ada\r\nfourcolour = \"yes\"\r\n[other]\r\nScaleBoard=yes\r\n");
    startMain();
    QVERIFY(action("FourColourDeck1")->isChecked());
    QVERIFY(!action("ScaleBoardtoWindow1")->isChecked());
    QCOMPARE(nameText("edit_name"), QString("Ada"));
    action("PlaySounds1")->trigger();
    const QByteArray text = readIni();
    QVERIFY2(text.startsWith("[kestrova]\r\nScaleBoard=no\r\nName=Ada\r\nfourcolour =yes\r\n"), text.constData());
    QVERIFY2(text.endsWith("Sounds=no\r\nUpdate=true\r\n[other]\r\nScaleBoard=yes\r\n"), text.constData());
}

void SettingsTest::closeWritesTheBoundsAndKeepsTheRestOfTheFile()
{
    writeIni("[other]\r\nx=1\r\n\r\n[kestrova]\r\n; the window\r\nTop=10\r\nLeft=20\r\nWidth=800\r\nHeight=560\r\n"
             "Name=AVeryLongNameIndeed\r\n");
    startMain();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QCOMPARE(nameText("edit_name"), QString("AVeryLongNameIndeed"));
    const QRect workArea = desktopWorkArea();
    const QRect moved(60, 70, 790, workArea.height() - 10);
    main->setOuterBounds(moved);
    QTRY_COMPARE(main->outerBounds(), moved);
    main->close();
    const QByteArray text = readIni();
    QVERIFY2(text.startsWith("[other]\r\nx=1\r\n\r\n[kestrova]\r\n; the window\r\n"), text.constData());
    const QByteArray bounds = QStringLiteral("Top=70\r\nLeft=60\r\nWidth=790\r\nHeight=%1\r\n")
                                  .arg(moved.height()).toLatin1();
    QVERIFY2(text.contains(bounds + "Name=AVeryLongNameIndeed\r\n"), text.constData());
    QVERIFY(text.contains("Sounds=yes") && text.contains("Update=true"));
}

void SettingsTest::windowLargerThanTheWorkAreaShrinksBy3OnlyWhenMoved()
{
    const QRect workArea = desktopWorkArea();
    const QRect large(3, 3, workArea.width() + 50, workArea.height() + 40);
    writeIni(QStringLiteral("[kestrova]\nTop=3\nLeft=3\nWidth=%1\nHeight=%2\n")
                 .arg(large.width()).arg(large.height()).toLatin1());
    startMain();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QTRY_COMPARE(main->outerBounds(), large);
    main->close();   // unchanged since start: written back as it was
    QVERIFY(readIni().contains(QStringLiteral("Width=%1\n").arg(large.width()).toLatin1()));
    delete main;

    startMain();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    main->setOuterBounds(large.translated(10, 0));
    QTRY_COMPARE(main->outerBounds().left(), 13);
    main->close();
    const QByteArray text = readIni();
    QVERIFY2(text.contains(QStringLiteral("Width=%1\nHeight=%2\n").arg(large.width() - 3).arg(large.height() - 3)
                               .toLatin1()), text.constData());
}

void SettingsTest::resetScreenLocationIsSavedWithTheNextWrite()
{
    writeIni("[kestrova]\nTop=100\nLeft=120\nWidth=800\nHeight=560\n");
    startMain();
    main->findChild<QAction*>("ResetScreenLocation1")->trigger();
    QCOMPARE(main->outerBounds(), QRect(3, 3, 774, 541));
    QVERIFY(readIni().contains("Top=100"));   // not written by itself
    action("updatecheck")->trigger();
    QVERIFY(readIni().contains("Top=3\nLeft=3\nWidth=774\nHeight=541\n"));
}

void SettingsTest::unwritableFileReportsAndGoesOn()
{
    // A folder where the file should be: no write can replace it.
    QVERIFY(QDir(dir->path()).mkdir("kestrova.ini"));
    startMain();
    action("PlaySounds1")->trigger();
    QCOMPARE(errors, QStringList{"Unable to write to " + QFileInfo(iniPath()).absoluteFilePath()});
    QVERIFY(!action("PlaySounds1")->isChecked());   // the option keeps its new state
    main->close();                                  // and the window still closes
    QVERIFY(!main->isVisible());
}

void SettingsTest::soundsFollowTheOption()
{
    startMain();
    main->button_startClick();
    QCOMPARE(sounds.played, (std::vector<std::string>{"entered", "startgame"}));
    action("PlaySounds1")->trigger();
    main->button_startClick();
    main->image_stockClick();
    QCOMPARE(sounds.played.size(), 2u);
    action("PlaySounds1")->trigger();
    main->image_stockClick();
    QCOMPARE(sounds.played.back(), std::string("replace"));
}

void SettingsTest::nameLimitBindsTypingOnly()
{
    writeIni("[kestrova]\nName=TwelveLetter\n");
    startMain();
    main->show();
    auto* edit = main->findChild<QLineEdit*>("edit_aname");
    QCOMPARE(edit->text(), QString("TwelveLetter"));
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, "xy");
    QCOMPARE(edit->text(), QString("TwelveLetter"));   // growing is refused
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("TwelveLette"));
    edit->clear();
    QTest::keyClicks(edit, "abcdefghijkl");
    QCOMPARE(edit->text(), QString("abcdefghij"));
}

// The score server takes names of up to 255 bytes of UTF-8; a longer stored
// name is cut there without splitting a character, and stays cut when saved.
void SettingsTest::storedNamesAreBoundedInBytesOnACharacterEdge()
{
    const QByteArray exact = QByteArray(253, 'a') + "\xc3\xa9";       // 255 bytes
    const QByteArray split = QByteArray(253, 'a') + "\xf0\x9f\x98\x80";   // the last character would end at 257
    for (const auto& [stored, kept] : {std::pair{exact, exact}, std::pair{split, QByteArray(253, 'a')},
                                       std::pair{QByteArray(65, 'n'), QByteArray(65, 'n')},
                                       std::pair{QByteArray(4000, 'z'), QByteArray(255, 'z')}}) {
        writeIni("[kestrova]\nName=" + stored + "\n");
        startMain();
        QCOMPARE(nameText("edit_name").toUtf8(), kept);
        QCOMPARE(nameText("edit_aname").toUtf8(), kept);
        action("PlaySounds1")->trigger();
        QVERIFY(readIni().contains("\nName=" + kept + "\n"));
        delete main;
        main = nullptr;
    }

    // Typing can't pass the bound either, whatever the characters.
    writeIni("[kestrova]\nName=" + QByteArray(255, 'a') + "\n");
    startMain();
    auto* edit = main->findChild<QLineEdit*>("edit_aname");
    edit->setFocus();
    edit->setSelection(0, 1);
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_Eacute, QString::fromUtf8("\xc3\xa9"), Qt::NoModifier);
    QCOMPARE(edit->text(), QString(255, u'a'));
    edit->setSelection(0, 1);
    QTest::keyClicks(edit, "b");
    QCOMPARE(edit->text(), u'b' + QString(254, u'a'));
}

// The store on its own, as the window uses it: damaged and missing keys read
// as the defaults, a save writes what a load reads back, and a name change is
// told once, not again for the same name.
void SettingsTest::storeReadsWhatItWritesAndTellsNameChangesOnce()
{
    writeIni("[kestrova]\nTop=x\nLeft=12\nWidth=\nName=Ann\nSounds=maybe\nUpdate=false\nFourColour=YES\n");
    SettingsStore store(iniPath().toStdString());
    QSignalSpy named(&store, &SettingsStore::nameChanged);
    const Settings read = store.load();
    QCOMPARE(read.bounds, QRect(12, 3, Settings::defaultwidth, Settings::defaultheight));
    QCOMPARE(read.name, QString("Ann"));
    QVERIFY(read.sounds);           // anything but "no"
    QVERIFY(!read.updateCheck);     // exactly "false"
    QVERIFY(!read.fourColour);      // only an exact "yes"
    QCOMPARE(named.count(), 1);

    store.setName("Ann");
    QCOMPARE(named.count(), 1);
    store.setName("Bo");
    QCOMPARE(named.count(), 2);
    QCOMPARE(named.last().first().toString(), QString("Bo"));

    store.setBounds(QRect(40, 50, 800, 600));
    store.setScaleBoard(true);
    store.save();
    SettingsStore again(iniPath().toStdString());
    Settings expected = store.current();
    expected.fourColour = false;
    QCOMPARE(again.load(), expected);
    QVERIFY(readIni().contains("ScaleBoard=yes"));
    QVERIFY(readIni().contains("FourColour=no"));   // the key was there: kept, as the value now is

    // A folder where the file should be: the save says so and writes nothing.
    SettingsStore blocked(dir->path().toStdString());
    QVERIFY_THROWS_EXCEPTION(IniFileError, blocked.save());
}

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
