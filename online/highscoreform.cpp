#include "online/highscoreform.h"

#include "online/httpget.h"
#include "online/serverconfig.h"
#include "platform/url.h"
#include "ui/artwork.h"
#include "ui/flatpanel.h"
#include "ui/htmlview.h"
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace kestrova {

namespace {

const QColor kListBackground(64, 36, 174);
constexpr int kPaintPatienceMs = 250;

THTTPGet* makeFetch(QObject* parent, const QString& name)
{
    auto* fetch = new THTTPGet(parent);
    fetch->setObjectName(name);
    return fetch;
}

bool isWebOrMailLink(const QString& target)
{
    for (const QLatin1String scheme : {QLatin1String("http:"), QLatin1String("https:"), QLatin1String("mailto:")})
        if (target.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

Thighscore::Thighscore(const QPixmap& backgroundPicture, const QString& programname, QWidget* parent)
    : TiledWindow(QStringLiteral("highscore"), QStringLiteral("Kestrova - High Scores"), QSize(603, 561),
                  backgroundPicture, parent),
      programname_(programname)
{
    setFixedSize(603, 561);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    const qreal ratio = qApp->devicePixelRatio();

    button_done = new PictureControl(this);
    button_done->setObjectName(QStringLiteral("button_done"));
    button_done->setGeometry(467, 518, 126, 40);
    button_done->setPicture(pictureButton(PictureButton::Done, ratio));
    button_done->setCursor(Qt::PointingHandCursor);
    connect(button_done, &PictureControl::clicked, this, &Thighscore::button_doneClick);

    Image1 = new PictureControl(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 96, 72);
    Image1->setPicture(highScoreTrophy(ratio));

    Label1 = makeLabel(this, QStringLiteral("Label1"), {8, 520}, houseFont(19, true), Qt::white,
                       QStringLiteral("Kestrova High Score List"));
    Label2 = makeLabel(this, QStringLiteral("Label2"), {10, 543}, houseFont(13, true), Qt::white,
                       QStringLiteral("Vorlin Software"));

    panel_main = new TFlatPanel(this);
    panel_main->setObjectName(QStringLiteral("panel_main"));
    panel_main->setGeometry(112, 8, 481, 507);
    panel_main->setColor(kListBackground);
    panel_main->setFrameColor(Qt::white);

    displayhtml = new THtmlView(panel_main);
    displayhtml->setObjectName(QStringLiteral("displayhtml"));
    displayhtml->setGeometry(panel_main->rect().adjusted(1, 1, -1, -1));
    connect(displayhtml, &THtmlView::OnHotSpotClick, this, &Thighscore::displayhtmlHotSpotClick);

    URL1 = new TURL(this);
    URL1->setObjectName(QStringLiteral("URL1"));
    URL1->setURLType(TURL::utnone);

    getit = makeFetch(this, QStringLiteral("getit"));
    connect(getit, &THTTPGet::OnDoneString, this, &Thighscore::getitDoneString);
    makeSendit();
}

void Thighscore::makeSendit()
{
    sendit = makeFetch(this, QStringLiteral("sendit"));
    connect(sendit, &THTTPGet::OnDoneString, this, &Thighscore::senditDoneString);
    connect(sendit, &THTTPGet::OnError, this, &Thighscore::senditError);
}

QString Thighscore::listURL() const
{
    return QStringLiteral("http://") + ServerConfig::host() + QStringLiteral("/counter/kestrova.shtml");
}

QString Thighscore::scorePostURL(const QString& name, const QString& date, const QString& score) const
{
    auto encoded = [](const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); };
    return QStringLiteral("http://") + ServerConfig::host() + QStringLiteral("/cgi-bin/") + programname_ +
           QStringLiteral(".cgi?name=") + encoded(boundedName(name)) + QStringLiteral("&date=") + encoded(date) +
           QStringLiteral("&score=") + encoded(score);
}

void Thighscore::loadit()
{
    if (getit->isRunning())
        return;
    getit->setPostQuery(QString());
    getit->setURL(listURL());
    if (awaitingPaint_) {
        fetchPending_ = true;
        // Should no paint come (an unmapped window), the list is fetched anyway.
        QTimer::singleShot(kPaintPatienceMs, this, &Thighscore::startPendingFetch);
        return;
    }
    getit->StartGet();
}

void Thighscore::startPendingFetch()
{
    awaitingPaint_ = false;
    if (std::exchange(fetchPending_, false))
        getit->StartGet();
}

void Thighscore::showEvent(QShowEvent* event)
{
    TiledWindow::showEvent(event);
    if (!event->spontaneous())
        awaitingPaint_ = true;
}

bool Thighscore::event(QEvent* event)
{
    const bool handled = TiledWindow::event(event);
    // Queued: the painted frame reaches the screen before the fetch starts.
    if (event->type() == QEvent::Paint && awaitingPaint_)
        QMetaObject::invokeMethod(this, &Thighscore::startPendingFetch, Qt::QueuedConnection);
    return handled;
}

void Thighscore::sendscore(const QString& name, const QString& date, const QString& score)
{
    if (sendit->isRunning()) {
        // Deleting it lets go of its transfer; no answer of it arrives any more.
        delete sendit;
        makeSendit();
    }
    sendit->setURL(scorePostURL(name, date, score));
    sendit->StartGet();
}

void Thighscore::getitDoneString(THTTPGet*, const QString& result)
{
    displayhtml->LoadFromString(result);
}

void Thighscore::senditDoneString(THTTPGet* sender, const QString&)
{
    // The server read the post and turned it down (a name it won't take, say):
    // the list would not hold it.
    if (sender->StatusCode() >= 400) {
        emit scorePostFailed();
        return;
    }
    emit scorePosted();
    show();
    raise();
    activateWindow();
    loadit();
}

void Thighscore::senditError(THTTPGet*)
{
    emit scorePostFailed();
}

void Thighscore::displayhtmlHotSpotClick(const QString& src)
{
    if (!isWebOrMailLink(src))
        return;
    URL1->setURL(src);
    URL1->OpenURL();
}

void Thighscore::button_doneClick()
{
    close();
}

} // namespace kestrova
