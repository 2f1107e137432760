#include "app/scoreposter.h"

#include "online/highscoreform.h"
#include "platform/localdate.h"
#include "ui/flatpanel.h"

#include <QDate>
#include <QTimer>

#include <exception>

namespace kestrova {

ScorePoster::ScorePoster(TFlatPanel* waitPanel, MessageReporter showMessage, QObject* parent)
    : QObject(parent), panel_wait(waitPanel), showMessage_(std::move(showMessage)), Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("scorePoster"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &ScorePoster::Timer1Timer);
}

void ScorePoster::setHighscoreSource(HighscoreSource source)
{
    highscore_ = std::move(source);
    disconnect(scorePostedConnection_);
    disconnect(scorePostFailedConnection_);
    connectedHighscore_ = nullptr;
}

// The post's answer is wanted from the window that sends it, once it exists.
Thighscore* ScorePoster::highscoreWindow()
{
    Thighscore* window = highscore_ ? highscore_() : nullptr;
    if (window && window != connectedHighscore_) {
        disconnect(scorePostedConnection_);
        disconnect(scorePostFailedConnection_);
        scorePostedConnection_ = connect(window, &Thighscore::scorePosted, this, &ScorePoster::scorePosted);
        scorePostFailedConnection_ =
            connect(window, &Thighscore::scorePostFailed, this, &ScorePoster::scorePostFailed);
        connectedHighscore_ = window;
    }
    return window;
}

void ScorePoster::button_sendscoreClick(const QString& name, int score)
{
    try {
        if (Thighscore* highscore = highscoreWindow())
            highscore->sendscore(name, monthDayYear(QDate::currentDate(), localDateSeparator()),
                                 QString::number(score));
    } catch (const std::exception&) {
        // Said nowhere: the wait below runs out and reports the failure.
    }
    postingcountdown_ = kWaitTicks;
    dotcount_ = 0;
    Timer1->start();
    panel_wait->show();
    panel_wait->raise();
}

void ScorePoster::Timer1Timer()
{
    --postingcountdown_;
    if (++dotcount_ > 5)
        dotcount_ = 1;
    panel_wait->setCaption(QStringLiteral("Posting Score, Please Wait") + QString(dotcount_, u'.'));
    if (postingcountdown_ == 0) {
        // Shown after this tick has returned: a timer does not fire again
        // while its own handler runs, and the dots go on while the message
        // is open. Only the tick that reaches exactly 0 shows it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                showMessage_(QStringLiteral("Posting Failed."));
                Timer1->stop();
            },
            Qt::QueuedConnection);
    }
}

void ScorePoster::scorePosted()
{
    emit posted();
    Timer1->stop();
}

// The post ended without the server taking it. Told at once rather than when
// the wait runs out, and once only: not again when the wait has told it.
void ScorePoster::scorePostFailed()
{
    if (postingcountdown_ <= 0)
        return;
    postingcountdown_ = 0;
    Timer1->stop();
    showMessage_(QStringLiteral("Posting Failed."));
}

} // namespace kestrova
