#include "app/programwindows.h"

#include "platform/programfolder.h"

namespace kestrova {

ProgramWindows::ProgramWindows(Random& random, SoundSink& sounds)
    : main(random, sounds),
      tallylist(main.backgroundPicture(), ProgramFolder::tallyFilePath(main.programname.toStdString())),
      // The maker's web server, from KESTROVA_SERVER for now; the shared server setting will take this over.
      about(main.backgroundPicture(), qEnvironmentVariable("KESTROVA_SERVER", QStringLiteral("localhost"))),
      help(main.backgroundPicture()),
      highscore(main.backgroundPicture(), main.programname)
{
    main.setSecondaryWindows(&tallylist, &about, &help, &highscore);
    about.setPlacementAnchor(&main);
    help.setPlacementAnchor(&main);
    help.setAboutWindow(&about);
}

} // namespace kestrova
