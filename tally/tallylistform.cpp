#include "tally/tallylistform.h"

#include "platform/localdate.h"
#include "tally/tallyfile.h"
#include "ui/artwork.h"
#include "ui/flatpanel.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace kestrova {

namespace {

struct CounterLine {
    TallyColumn column;
    const char* caption;
    int top;
};
constexpr CounterLine kCounterLines[] = {
    {TotalGames, "Total Games:", 33},
    {GamesCleared, "Games Cleared:", 50},
    {WinPercentage, "Win Percentage:", 68},
    {LongestChain, "Longest Chain:", 87},
    {LowestWinningScore, "Lowest Score for Winning:", 106},
    {RunningTotal, "Running Total:", 126},
};
constexpr int kCaptionRight = 189;
constexpr int kCounterLeft = 194;
const QColor kHighlight = Qt::red;

QLabel* makeHeading(QWidget* parent, const QString& name, int top, const QString& text)
{
    QFont font = houseFont(19, true);
    font.setUnderline(true);
    QLabel* heading = makeLabel(parent, name, {1, top}, font, Qt::white, text);
    heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    heading->resize(328, heading->height());
    return heading;
}

QLabel* makeBox(QWidget* parent, const QString& name, const QRect& box, Qt::Alignment alignment)
{
    QLabel* label = makeLabel(parent, name, box.topLeft(), houseFont(13, true), Qt::white);
    label->setAlignment(alignment | Qt::AlignTop);
    label->resize(box.size());
    return label;
}

void setLook(QLabel* label, bool highlighted, bool bold)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, highlighted ? kHighlight : QColor(Qt::white));
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

} // namespace

Ttallylist::Ttallylist(const QPixmap& backgroundPicture, std::filesystem::path tallyPath, ErrorReporter reportError,
                       QWidget* parent)
    : TiledWindow(QStringLiteral("tallylist"), QStringLiteral("Kestrova - Tally List"), QSize(342, 462),
                  backgroundPicture, parent),
      tallyPath_(std::move(tallyPath)), saver_(tallyPath_)
{
    confirm_ = [this](const QString& question) {
        return QMessageBox::question(this, QStringLiteral("Kestrova"), question, QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    };
    setFixedSize(342, 462);

    auto* panel = new TFlatPanel(this);
    panel->setObjectName(QStringLiteral("FlatPanel1"));
    panel->setGeometry(6, 3, 331, 455);
    panel->setTransparent(true);
    panel->setFrameColor(Qt::white);
    createLabels(panel);

    if (const std::optional<std::string> error = TallyFile(tallyPath_).load(model_.grid())) {
        const QString message = QString::fromStdString(*error);
        if (reportError)
            reportError(message);
        else
            QMessageBox::critical(nullptr, QStringLiteral("Kestrova"), message);
    }
    loadtally();
    model_.onChanged = [this] { showTally(); };
    model_.today = [] { return localShortDate().toStdString(); };
}

Ttallylist::~Ttallylist()
{
    model_.onChanged = nullptr;
    savetally();
}

// The previous file stays whole when a save fails; the next save or the one
// at exit tries again. The saver's destructor waits for the last one.
void Ttallylist::savetally()
{
    saver_.save(model_.grid());
}

void Ttallylist::createLabels(QWidget* panel)
{
    makeHeading(panel, QStringLiteral("label_myname"), 5, QStringLiteral("YOUR TALLY LIST"));
    for (const auto& [column, captionText, top] : kCounterLines) {
        QLabel* caption = makeLabel(panel, QStringLiteral("caption_%1").arg(column), {0, top}, houseFont(13, true),
                                    Qt::white, QString::fromLatin1(captionText));
        caption->move(kCaptionRight - caption->width(), top);
        counterLabels_[column] = makeLabel(panel, QStringLiteral("mylabel_%1").arg(column), {kCounterLeft, top},
                                           houseFont(13, true), Qt::white);
    }
    makeHeading(panel, QStringLiteral("Label1"), 146, QStringLiteral("HIGH SCORES"));
    for (int rank = 1; rank <= TallyModel::ranks; ++rank) {
        const int top = 176 + 24 * (rank - 1);
        RankLabels& labels = rankLabels_[rank];
        labels.number = makeBox(panel, QStringLiteral("label_num%1").arg(rank), QRect(5, top - 1, 24, 16),
                                Qt::AlignRight);
        labels.number->setText(QStringLiteral("%1.").arg(rank));
        labels.date = makeBox(panel, QStringLiteral("label_date%1").arg(rank), QRect(32, top, 101, 16), Qt::AlignLeft);
        labels.name = makeBox(panel, QStringLiteral("label_name%1").arg(rank), QRect(136, top, 132, 16),
                              Qt::AlignLeft);
        labels.high = makeLabel(panel, QStringLiteral("label_high%1").arg(rank), {286, top}, houseFont(13, true),
                                Qt::white);
    }

    // Drawn now, at start-up, not when first shown: the buttons' captions are
    // outlines of a font whose glyphs come out a shade differently once screen
    // text has used it, so the first caption drawn settles how the main
    // window's buttons look, and it has always been this one.
    auto* reset = new PictureControl(panel);
    reset->setObjectName(QStringLiteral("button_resettally"));
    reset->setGeometry(72, 412, 126, 40);
    reset->setPicture(pictureButton(PictureButton::ResetTally, qApp->devicePixelRatio()));
    connect(reset, &PictureControl::clicked, this, &Ttallylist::button_resetClick);
    auto* done = new PictureControl(panel);
    done->setObjectName(QStringLiteral("button_done"));
    done->setGeometry(200, 412, 126, 40);
    done->setPicture(pictureButton(PictureButton::Done, qApp->devicePixelRatio()));
    connect(done, &PictureControl::clicked, this, &Ttallylist::button_doneClick);
}

void Ttallylist::loadtally()
{
    model_.loadtally();
    showTally();
}

void Ttallylist::showTally()
{
    for (const CounterLine& line : kCounterLines)
        setAutoSizedText(counterLabels_[line.column], QString::fromStdString(model_.counterText(line.column)));
    for (int rank = 1; rank <= TallyModel::ranks; ++rank) {
        const RankLabels& labels = rankLabels_[rank];
        labels.date->setText(QString::fromStdString(model_.rankDate(rank)));
        labels.name->setText(QString::fromStdString(model_.rankName(rank)));
        setAutoSizedText(labels.high, QString::fromStdString(model_.rankScoreText(rank)));
        for (QLabel* label : {labels.number, labels.date, labels.name, labels.high})
            setLook(label, model_.isHighlighted(rank), model_.isBold(rank));
        labels.high->adjustSize();
    }
}

void Ttallylist::button_doneClick()
{
    close();
}

void Ttallylist::button_resetClick()
{
    if (confirm_(QStringLiteral("Are you sure you want to reset the Tally?")))
        model_.reset();
}

void Ttallylist::showOver(QWidget* owner)
{
    if (!placed_ && owner) {
        placed_ = true;
        move(owner->frameGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

} // namespace kestrova
