// ScorePoster: sends a cleared game's score through the high-score window and
// waits for the server's answer, with dots behind the wait text, for at most
// 40 ticks of a second; then "Posting Failed." is said.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace kestrova {

class TFlatPanel;
class Thighscore;

class ScorePoster : public QObject {
    Q_OBJECT
public:
    using HighscoreSource = std::function<Thighscore*()>;
    using MessageReporter = std::function<void(const QString& message)>;

    // The wait panel is shown over the buttons while a post is on its way.
    ScorePoster(TFlatPanel* waitPanel, MessageReporter showMessage, QObject* parent = nullptr);

    // The window that sends posts, asked for when first needed; none: nothing is sent.
    void setHighscoreSource(HighscoreSource source);
    // The high-score window, with its answers connected here.
    Thighscore* highscoreWindow();

    // Sends the score under the name and starts the wait.
    void button_sendscoreClick(const QString& name, int score);
    void Timer1Timer();

    static constexpr int kWaitTicks = 40;

signals:
    // The server took the post, even one that came after "Posting Failed.".
    void posted();

private:
    void scorePosted();
    void scorePostFailed();

    TFlatPanel* panel_wait;
    MessageReporter showMessage_;
    QTimer* Timer1;
    int postingcountdown_ = 0;   // ticks left before a score post counts as failed
    int dotcount_ = 0;           // dots behind the wait text, 1 to 5
    HighscoreSource highscore_;
    Thighscore* connectedHighscore_ = nullptr;   // the one whose answers are connected
    QMetaObject::Connection scorePostedConnection_;
    QMetaObject::Connection scorePostFailedConnection_;
};

} // namespace kestrova
