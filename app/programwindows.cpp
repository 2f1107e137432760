#include "app/programwindows.h"

#include "platform/programfolder.h"

namespace kestrova {

ProgramWindows::ProgramWindows(Random& random, SoundSink& sounds)
    : main(random, sounds),
      tallylist(main.backgroundPicture(), ProgramFolder::tallyFilePath(main.programname.toStdString())),
      about(main.backgroundPicture()),
      help(main.backgroundPicture()),
      highscore(main.backgroundPicture())
{
    main.setSecondaryWindows(&tallylist, &about, &help, &highscore);
}

} // namespace kestrova
