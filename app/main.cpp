// The start routine: the application object, the five windows in their fixed
// order, and the message loop. The windows are destroyed in reverse order, so
// the tally window saves while the main window still exists.

#include "app/kestrovaapplication.h"
#include "app/mainform.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "platform/soundplayer.h"
#include "tally/tallylistform.h"
#include "ui/aboutform.h"
#include "ui/helpform.h"

int main(int argc, char** argv)
{
    using namespace kestrova;
    KestrovaApplication app(argc, argv);

    Random random;
    SoundPlayer sounds;
    Tmain main(random, sounds);
    Ttallylist tallylist(main.backgroundPicture());
    Tabout about(main.backgroundPicture());
    Thelp help(main.backgroundPicture());
    Thighscore highscore(main.backgroundPicture());
    main.setSecondaryWindows(&tallylist, &about, &help, &highscore);

    main.show();
    return app.exec();
}
