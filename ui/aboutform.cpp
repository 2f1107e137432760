#include "ui/aboutform.h"

#include "kestrovaversion.h"
#include "platform/url.h"
#include "ui/artwork.h"
#include "ui/picturecontrol.h"
#include "ui/selbutton.h"
#include "ui/textlabels.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QMouseEvent>

namespace kestrova {

namespace {

QFont creditFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

} // namespace

Tabout::Tabout(const QPixmap& backgroundPicture, const QString& serverHost, QWidget* parent)
    : TiledWindow(QStringLiteral("about"), QStringLiteral("Kestrova - About"), QSize(304, 193), backgroundPicture,
                  parent),
      URL1_(new TURL(this))
{
    // A dialog frame: fixed size, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(304, 193);

    URL1_->setObjectName(QStringLiteral("URL1"));
    URL1_->setURLType(TURL::utHttp);
    URL1_->setURL(serverHost);

    auto* title = new PictureControl(this);
    title->setObjectName(QStringLiteral("Image1"));
    title->setGeometry(42, 10, 217, 54);
    title->setPicture(titlePicture(qApp->devicePixelRatio()));

    // The address shown is the one the link opens; with no host there is none.
    QFont linkFont = houseFont(16, true);
    linkFont.setUnderline(true);
    const QString address = serverHost.isEmpty() ? QString() : TURL::prefixOf(URL1_->URLType()) + serverHost;
    Label7 = makeLabel(this, QStringLiteral("Label7"), {8, 72}, linkFont, Qt::white, address);
    Label7->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label7->resize(289, 20);
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->installEventFilter(this);

    const QFont font = creditFont();
    const QColor yellow(Qt::yellow);
    makeLabel(this, QStringLiteral("Label6"), {4, 122}, font, Qt::white,
              QStringLiteral("Programmed by Vorlin Software"));
    makeLabel(this, QStringLiteral("Label3"), {4, 138}, font, Qt::white, QStringLiteral("Copyright 2003 -"));
    label_year = makeLabel(this, QStringLiteral("label_year"), {108, 138}, font, Qt::white);
    makeLabel(this, QStringLiteral("Label4"), {154, 138}, font, Qt::white, QStringLiteral("Vorlin Software"));
    makeLabel(this, QStringLiteral("Label2"), {4, 154}, font, Qt::white, QStringLiteral("All Rights Reserved."));
    makeLabel(this, QStringLiteral("Label1"), {48, 171}, font, Qt::white, QStringLiteral("Version"));
    version_ = makeLabel(this, QStringLiteral("version"), {96, 171}, font, yellow, QString::fromLatin1(kVersion));
    makeLabel(this, QStringLiteral("Label9"), {123, 171}, font, yellow, QStringLiteral(".6"));

    auto* done = new TSelButton(QStringLiteral("button_done"), this);
    setWindowButtonLook(*done, QStringLiteral("Done"), Qt::AlignHCenter);
    done->setGeometry(202, 164, 95, 20);
    connect(done, &TSelButton::clicked, this, &Tabout::Button1Click);

    FormCreate();
}

void Tabout::FormCreate()
{
    setAutoSizedText(label_year, QString::number(QDate::currentDate().year()));
}

QString Tabout::version() const
{
    return version_->text();
}

void Tabout::Label7Click()
{
    // Whether the desktop opened it or not, nothing is shown.
    URL1_->OpenURL();
}

void Tabout::Button1Click()
{
    hide();
}

// The address label is clicked like a button: pressed and released on it.
bool Tabout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label7) {
        if (event->type() == QEvent::MouseButtonPress) {
            label7Pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = label7Pressed_ && mouse->button() == Qt::LeftButton &&
                               Label7->rect().contains(mouse->position().toPoint());
            label7Pressed_ = false;
            if (click)
                Label7Click();
        }
    }
    return TiledWindow::eventFilter(watched, event);
}

} // namespace kestrova
