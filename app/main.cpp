// The start routine: the application object, the five windows, and the
// message loop until the main window closes.

#include "app/kestrovaapplication.h"
#include "app/programwindows.h"
#include "online/selfupdate.h"
#include "game/random.h"
#include "platform/soundplayer.h"
#include "platform/terminationsignals.h"
#include "resources/soundresources.h"

#include <vector>

namespace {

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

    Random random;
    SoundPlayer sounds(gameSoundClips());
    ProgramWindows windows(random, sounds);
    windows.main.selfUpdate().removeLeftoverDownloads();

    // A logout, a shutdown or Ctrl+C closes the window the ordinary way, so
    // the settings and the tally are saved.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &windows.main,
                     &Tmain::closeForTermination);

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
