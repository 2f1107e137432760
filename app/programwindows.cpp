#include "app/programwindows.h"

#include "online/serverconfig.h"
#include "platform/programfolder.h"

namespace kestrova {

ProgramWindows::ProgramWindows(Random& random, SoundSink& sounds)
    : main(random, sounds),
      tallylist(main.backgroundPicture(), ProgramFolder::tallyFilePath(main.programname.toStdString()))
{
    main.setSecondaryWindows(&tallylist, [this]() -> QWidget* { return &about(); },
                             [this]() -> QWidget* { return &help(); }, [this] { return &highscore(); });
}

ProgramWindows::~ProgramWindows()
{
    // The main window outlives these; it must not reach for them while it goes.
    main.setSecondaryWindows(&tallylist, Tmain::WindowSource<QWidget>{}, Tmain::WindowSource<QWidget>{},
                             Tmain::WindowSource<Thighscore>{});
}

Tabout& ProgramWindows::about()
{
    if (!about_) {
        about_ = std::make_unique<Tabout>(main.backgroundPicture(), ServerConfig::host());
        about_->setPlacementAnchor(&main);
    }
    return *about_;
}

Thelp& ProgramWindows::help()
{
    if (!help_) {
        help_ = std::make_unique<Thelp>(main.backgroundPicture());
        help_->setPlacementAnchor(&main);
        help_->setAboutWindow([this]() -> QWidget* { return &about(); });
    }
    return *help_;
}

Thighscore& ProgramWindows::highscore()
{
    if (!highscore_)
        highscore_ = std::make_unique<Thighscore>(main.backgroundPicture(), main.programname);
    return *highscore_;
}

} // namespace kestrova
