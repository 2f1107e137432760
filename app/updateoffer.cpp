#include "app/updateoffer.h"

#include "kestrovaversion.h"

#include "app/boardparts.h"
#include "online/httpget.h"
#include "online/selfupdate.h"
#include "online/serverconfig.h"
#include "ui/flatpanel.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QLabel>

#include <utility>

namespace kestrova {

UpdateOffer::UpdateOffer(QWidget* board, const QString& programname, MessageReporter showMessage, QObject* parent)
    : QObject(parent), programname_(programname), showMessage_(std::move(showMessage))
{
    setObjectName(QStringLiteral("updateOffer"));
    panel_update = makeOverlayPanel(board, QStringLiteral("panel_update"), QRect(205, 96, 329, 161));
    makeShadowTitle(panel_update, QStringLiteral("Label9"), QStringLiteral("Label10"), {-1, 10}, {1, 8}, {327, 24}, 19,
                    QStringLiteral("Update Available"));
    makeShadowTitle(panel_update, QStringLiteral("Label11"), QStringLiteral("Label12"), {2, 47}, {3, 46}, {327, 24}, 16,
                    QStringLiteral("Would you like to update now?"));
    button_updateyes = makePictureButton(panel_update, QStringLiteral("button_updateyes"), {27, 90},
                                         PictureButton::UpdateYes);
    connect(button_updateyes, &PictureControl::clicked, this, &UpdateOffer::button_updateyesClick);
    button_updatecancel = makePictureButton(panel_update, QStringLiteral("button_updatecancel"), {171, 90},
                                            PictureButton::UpdateNo);
    connect(button_updatecancel, &PictureControl::clicked, this, &UpdateOffer::button_updatecancelClick);
    label_update = makeLabel(panel_update, QStringLiteral("label_update"), {1, 140}, houseFont(16), Qt::white);
    label_update->resize(327, 20);

    checkupdate = new THTTPGet(this);
    checkupdate->setObjectName(QStringLiteral("checkupdate"));
    connect(checkupdate, &THTTPGet::OnDoneString, this, &UpdateOffer::checkupdateDoneString);
    selfUpdate_ = new SelfUpdate(programname, this);
    connect(selfUpdate_, &SelfUpdate::statusShown, label_update, &QLabel::setText);
}

void UpdateOffer::check()
{
    checkupdate->setURL(QStringLiteral("http://") + ServerConfig::host() + QStringLiteral("/") + programname_ +
                        QStringLiteral("/") + programname_ + QStringLiteral("version.txt"));
    // The transfer program starting, and loading the network library, would
    // take the processor from the window's first frame; until that frame is on
    // the screen, the check waits.
    if (painted_)
        checkupdate->StartGet();
    else
        checkWaits_ = true;
}

void UpdateOffer::windowPainted()
{
    painted_ = true;
    if (std::exchange(checkWaits_, false))
        checkupdate->StartGet();
}

// Any reply that is not exactly our version offers the update, an older one too.
void UpdateOffer::checkupdateDoneString(THTTPGet*, const QString& result)
{
    if (result == QLatin1String(kVersion))
        return;
    selfUpdate_->setOfferedVersion(result);
    panel_update->show();
    panel_update->raise();
}

void UpdateOffer::button_updatecancelClick()
{
    panel_update->hide();
}

void UpdateOffer::button_updateyesClick()
{
    button_updateyes->hide();
    button_updatecancel->hide();
    label_update->setText(QStringLiteral("Updating. Please Wait..."));
    // The executable is moved aside only once the installer has passed its check.
    downloadit();
}

// Returns only when the installer did not start: a started one ends the process.
void UpdateOffer::downloadit()
{
    if (selfUpdate_->downloadit() == SelfUpdate::Outcome::NotStarted)
        showMessage_(selfUpdate_->manualDownloadMessage());
}

} // namespace kestrova
