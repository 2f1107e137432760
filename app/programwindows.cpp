#include "app/programwindows.h"

#include "online/serverconfig.h"
#include "platform/programfolder.h"

namespace kestrova {

ProgramWindows::ProgramWindows(Random& random, SoundSink& sounds)
    : main(random, sounds),
      tallylist(main.backgroundPicture(), ProgramFolder::tallyFilePath(main.programname.toStdString())),
      about(main.backgroundPicture(), ServerConfig::host()),
      help(main.backgroundPicture()),
      highscore(main.backgroundPicture(), main.programname)
{
    main.setSecondaryWindows(&tallylist, &about, &help, &highscore);
    about.setPlacementAnchor(&main);
    help.setPlacementAnchor(&main);
    help.setAboutWindow(&about);
}

} // namespace kestrova
