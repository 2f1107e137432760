// The small system pieces: named mutex, date separator, work area, termination signals.
#include "platform/localdate.h"
#include "platform/namedmutex.h"
#include "platform/terminationsignals.h"
#include "platform/workarea.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace kestrova {
namespace {

int argc = 1;
char programName[] = "platform_test";
char* argv[] = {programName, nullptr};

TEST(NamedMutex, ASecondHolderStartsNormallyAndTheNameGoesWithTheFirst)
{
    const QString name = QStringLiteral("kestrova-test-%1").arg(QCoreApplication::applicationPid());
    QString path;
    {
        NamedMutex first(name);
        path = first.lockFilePath();
        EXPECT_TRUE(first.isHeld());
        EXPECT_TRUE(QFile::exists(path));
        NamedMutex second(name); // must neither block nor throw
        EXPECT_FALSE(second.isHeld());
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(LocalDate, TheSeparatorIsTheFirstCharacterBetweenTheFields)
{
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("dd/MM/yyyy")), "/");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("M/d/yy")), "/");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("yyyy-MM-dd")), "-");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("dd.MM.yy")), ".");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("d. M. yyyy")), ".");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("d MMM yyyy")), " ");
    EXPECT_EQ(dateSeparatorOf(QStringLiteral("yyyy'年'M'月'd'日'")), "/");
    EXPECT_EQ(dateSeparatorOf(QString()), "/");
    EXPECT_TRUE(localShortDate().contains(localDateSeparator()) || localDateSeparator() == "/");
}

TEST(LocalDate, ScorePostDatesAreMonthDayAndTwoDigitYear)
{
    EXPECT_EQ(monthDayYear(QDate(2026, 12, 6), QStringLiteral("/")), "12/6/26");
    EXPECT_EQ(monthDayYear(QDate(2026, 12, 6), QStringLiteral(".")), "12.6.26");
    EXPECT_EQ(monthDayYear(QDate(2005, 1, 9), QStringLiteral("-")), "1-9-05");
    EXPECT_EQ(monthDayYear(QDate(2100, 10, 31), QStringLiteral("/")), "10/31/00");
}

TEST(WorkArea, FallsBackWithoutAScreenAndUsesTheScreenWhenThereIsOne)
{
    EXPECT_EQ(desktopWorkArea(), QRect(0, 0, 1024, 768));
    {
        QCoreApplication app(argc, argv); // no GUI, so no screens either
        EXPECT_EQ(desktopWorkArea(), QRect(0, 0, 1024, 768));
    }
    QGuiApplication app(argc, argv); // offscreen platform in the test environment
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(desktopWorkArea(), QGuiApplication::primaryScreen()->availableGeometry());
}

TEST(TerminationSignals, EachSignalArrivesOnTheEventLoopAndOldHandlersComeBack)
{
    QCoreApplication app(argc, argv);
    std::vector<int> received;
    {
        TerminationSignals handler;
        EXPECT_THROW(TerminationSignals second, std::logic_error);

        QEventLoop loop;
        QObject::connect(&handler, &TerminationSignals::terminationRequested, &loop, [&](int signo) {
            received.push_back(signo);
            if (received.size() == 3)
                loop.quit();
        });
        // A guard against hanging, not a timing assertion.
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        ASSERT_EQ(std::raise(SIGTERM), 0);
        ASSERT_EQ(std::raise(SIGINT), 0);
        ASSERT_EQ(std::raise(SIGHUP), 0);
        loop.exec();
    }
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));

    struct sigaction current {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    TerminationSignals again; // one instance at a time, not one per process
}

} // namespace
} // namespace kestrova
