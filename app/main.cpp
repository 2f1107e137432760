// The start routine: the application object, the five windows, and the
// message loop until the main window closes.

#include "app/kestrovaapplication.h"
#include "app/programwindows.h"
#include "online/selfupdate.h"
#include "game/random.h"
#include "platform/soundplayer.h"
#include "platform/terminationsignals.h"
#include "resources/soundresources.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <vector>

namespace {

// While a termination waits for the windows to be made, every box that start-up
// shows is dismissed as it appears: nobody is there to answer it.
class BoxDismisser : public QObject {
public:
    bool active = false;

    static void dismissShownBoxes()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QDialog*>(widget); box && box->isVisible())
                QTimer::singleShot(0, box, &QDialog::reject);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (active && event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QDialog*>(watched))
                QTimer::singleShot(0, box, &QDialog::reject);
        return false;
    }
};

// The game's clips, as the sound output plays them.
std::vector<kestrova::SoundClip> gameSoundClips()
{
    std::vector<kestrova::SoundClip> clips;
    for (std::string_view name : kestrova::soundNames())
        clips.push_back({std::string(name), kestrova::soundResourcePath(name)});
    return clips;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kestrova;
    KestrovaApplication app(argc, argv);

    // A logout, a shutdown or Ctrl+C closes the window the ordinary way, so
    // the settings and the tally are saved. Handled from before the first
    // window: one that arrives while start-up shows an error box ends that
    // box, and the windows close as soon as they exist.
    TerminationSignals termination;
    QPointer<Tmain> mainWindow;
    BoxDismisser dismisser;
    app.installEventFilter(&dismisser);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app, [&] {
        if (mainWindow) {
            mainWindow->closeForTermination();
            return;
        }
        dismisser.active = true;
        BoxDismisser::dismissShownBoxes();
    });

    Random random;
    SoundPlayer sounds(gameSoundClips());
    ProgramWindows windows(random, sounds);
    windows.main.selfUpdate().removeLeftoverDownloads();
    mainWindow = &windows.main;
    app.removeEventFilter(&dismisser);
    if (dismisser.active) {
        windows.main.closeForTermination();
        return 0;
    }

    // The audio back end and the clips wait until the window is on the screen,
    // and while the player keeps sounds off, until they are switched on; the
    // greeting asked for meanwhile plays as soon as they are loaded.
    const auto loadSounds = [&windows, &sounds] {
        if (windows.main.playsSounds())
            sounds.load();
    };
    QObject::connect(&windows.main, &Tmain::firstPainted, &windows.main, loadSounds);
    QObject::connect(&windows.main, &Tmain::soundsSwitchedOn, &windows.main, loadSounds);
    windows.main.show();
    return app.exec();
}
