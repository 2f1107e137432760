#include "app/boardview.h"

#include "app/boardparts.h"
#include "ui/artwork.h"
#include "ui/cardimages.h"
#include "ui/flatpanel.h"
#include "ui/hintmarker.h"
#include "ui/lbbackground.h"
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

namespace kestrova {

namespace {

constexpr QSize kBoardPanelSize{766, 495};
constexpr QSize kCardSize{71, 96};

} // namespace

BoardView::BoardView(QMainWindow& window, const QString& name) : QObject(&window)
{
    setObjectName(QStringLiteral("boardView"));
    createBoard(window);
    createNamePanel();
    createLostPanel();
    createClearedPanel(name);
}

void BoardView::createBoard(QMainWindow& window)
{
    const qreal ratio = qApp->devicePixelRatio();

    clientArea = new QWidget(&window);
    clientArea->setObjectName(QStringLiteral("clientArea"));
    QPalette palette = clientArea->palette();
    palette.setColor(QPalette::Window, kNavy);
    clientArea->setPalette(palette);
    clientArea->setAutoFillBackground(true);
    // The board is never moved or scaled: the client area keeps at least the
    // board's size plus a 5-pixel margin, and extra room shows the tiles.
    clientArea->setMinimumSize(kBoardPanelSize + QSize(5, 5));
    window.setCentralWidget(clientArea);

    LbBackground1 = new TLbBackground(clientArea);
    LbBackground1->setObjectName(QStringLiteral("LbBackground1"));
    LbBackground1->setImage(backgroundTile(ratio));

    panel_board = new TFlatPanel(clientArea);
    panel_board->setObjectName(QStringLiteral("panel_board"));
    panel_board->setGeometry(QRect(QPoint(0, 0), kBoardPanelSize));
    panel_board->setTransparent(true);
    panel_board->setFrameColor(kNavy);

    label_name = makeLabel(panel_board, QStringLiteral("label_name"), {14, 14}, houseFont(13), Qt::white,
                           QStringLiteral("Welcome to Kestrova by Vorlin Software!"));

    panel_board1 = new TFlatPanel(panel_board);
    panel_board1->setObjectName(QStringLiteral("panel_board1"));
    panel_board1->setGeometry(15, 33, 737, 448);
    panel_board1->setColor(kNavy);
    panel_board1->setFrameColor(Qt::white);
    // The board holds the keyboard focus whenever no name box does, so that no
    // key ever lands in a box the player cannot see.
    panel_board1->setFocusPolicy(Qt::ClickFocus);

    // Creation order is drawing order: background, empty-stock marker, the
    // peaks down to the base row, stock, discard, labels and buttons.
    makePicture(panel_board1, QStringLiteral("Image1"), QRect(1, 1, 735, 446), boardPicture);
    auto* logo = makePicture(panel_board1, QStringLiteral("image_logo"), QRect(6, 401, 214, 41), makerLogo);
    logo->setCursor(Qt::PointingHandCursor);
    logo->setFocusPolicy(Qt::TabFocus);
    logo->setAccessibleRole(QAccessible::Link);
    logo->setAccessibleName(QStringLiteral("Vorlin Software"));
    connect(logo, &PictureControl::clicked, this, &BoardView::logoClicked);
    makePicture(panel_board1, QStringLiteral("image_stockend"), QRect(292, 322, 72, 97), stockEndMarker);

    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const SlotPlace place = kSlotPlaces[slot];
        PictureControl* card = makePicture(panel_board1, QStringLiteral("card_%1").arg(slot),
                                           QRect(QPoint(place.left, place.top), kCardSize));
        card->setHint(QString::number(slot));
        card->hide();
        connect(card, &PictureControl::clicked, this, [this, slot] { emit cardClicked(slot); });
        cardControls_[slot] = card;
    }

    image_stock = makePicture(panel_board1, QStringLiteral("image_stock"), QRect(QPoint(293, 323), kCardSize));
    connect(image_stock, &PictureControl::clicked, this, &BoardView::stockClicked);
    image_discard = makePicture(panel_board1, QStringLiteral("image_discard"), QRect(QPoint(381, 323), kCardSize));

    const QFont labelFont = houseFont(13, true);
    label_cardsleft = makeLabel(panel_board1, QStringLiteral("label_cardsleft"), {291, 425}, labelFont, Qt::white);
    label_score = makeLabel(panel_board1, QStringLiteral("label_score"), {467, 369}, labelFont, Qt::white);
    label_bonus = makeLabel(panel_board1, QStringLiteral("label_bonus"), {456, 403}, labelFont, Qt::white);

    auto* start = makePictureButton(panel_board1, QStringLiteral("button_start"), {600, 400}, PictureButton::StartGame);
    connect(start, &PictureControl::clicked, this, &BoardView::startClicked);
    button_undo = makePictureButton(panel_board1, QStringLiteral("button_undo"), {600, 360}, PictureButton::Undo);
    button_undo->hide();
    connect(button_undo, &PictureControl::clicked, this, &BoardView::undoClicked);
}

void BoardView::createNamePanel()
{
    panel_name = makeOverlayPanel(panel_board1, QStringLiteral("panel_name"), QRect(205, 96, 329, 161));
    makeShadowTitle(panel_name, QStringLiteral("Label5"), QStringLiteral("Label6"), {-1, 10}, {1, 9}, {327, 24}, 19,
                    QStringLiteral("ENTER YOUR NAME"));
    edit_aname = makeNameEdit(panel_name, QStringLiteral("edit_aname"), QRect(83, 52, 161, 32));
    auto* done = makePictureButton(panel_name, QStringLiteral("button_namedone"), {99, 106}, PictureButton::Done);
    connect(done, &PictureControl::clicked, this, &BoardView::nameDoneClicked);
}

void BoardView::createLostPanel()
{
    panel_lost = makeOverlayPanel(panel_board1, QStringLiteral("panel_lost"), QRect(205, 120, 329, 105));
    makeShadowTitle(panel_lost, QStringLiteral("Label7"), QStringLiteral("Label8"), {-1, 10}, {1, 9}, {327, 24}, 19,
                    QStringLiteral("SORRY, YOU LOST!"));
    auto* done = makePictureButton(panel_lost, QStringLiteral("button_donelost"), {27, 52}, PictureButton::Done);
    connect(done, &PictureControl::clicked, this, &BoardView::lostDoneClicked);
    auto* start = makePictureButton(panel_lost, QStringLiteral("button_start2"), {171, 52}, PictureButton::StartGame);
    connect(start, &PictureControl::clicked, this, &BoardView::startClicked);
}

void BoardView::createClearedPanel(const QString& name)
{
    panel_cleared = makeOverlayPanel(panel_board1, QStringLiteral("panel_cleared"), QRect(205, 65, 329, 233));
    const ShadowTitle title = makeShadowTitle(panel_cleared, QStringLiteral("Label1"), QStringLiteral("Label2"),
                                              {-1, 10}, {1, 9}, {327, 24}, 19, QString());
    Label1 = title.shadow;
    Label2 = title.text;
    label_score1 = makeLabel(panel_cleared, QStringLiteral("label_score1"), {1, 38}, houseFont(16, true), Qt::red,
                             QStringLiteral("Your Score: "));
    label_score1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_score1->resize(327, 22);
    makeShadowTitle(panel_cleared, QStringLiteral("Label3"), QStringLiteral("Label4"), {0, 66}, {1, 65}, {327, 22}, 16,
                    QStringLiteral("Enter Your Name"));
    edit_name = makeNameEdit(panel_cleared, QStringLiteral("edit_name"), QRect(83, 91, 161, 32));
    edit_name->setText(name);
    edit_aname->setText(edit_name->text());

    button_sendscore = makePictureButton(panel_cleared, QStringLiteral("button_sendscore"), {27, 132},
                                         PictureButton::SendScore);
    connect(button_sendscore, &PictureControl::clicked, this, &BoardView::sendScoreClicked);
    auto* highscores = makePictureButton(panel_cleared, QStringLiteral("button_highscores"), {171, 132},
                                         PictureButton::HighScores);
    connect(highscores, &PictureControl::clicked, this, &BoardView::highscoresClicked);
    auto* cancel = makePictureButton(panel_cleared, QStringLiteral("button_cancel"), {99, 183}, PictureButton::Cancel);
    connect(cancel, &PictureControl::clicked, this, &BoardView::cancelClicked);

    panel_wait = makeOverlayPanel(panel_cleared, QStringLiteral("panel_wait"), QRect(27, 129, 288, 46));
    panel_wait->setFrameColor(kNavy);
    panel_wait->setAlignment(Qt::AlignLeft);
    panel_wait->setFont(houseFont(19));
    QPalette palette = panel_wait->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    panel_wait->setPalette(palette);
    panel_wait->setCaption(QStringLiteral("Posting Score, Please Wait......"));
}

// All in places that no other control uses, so that nothing else moves.
void BoardView::addInsightControls()
{
    const QFont font = houseFont(13);
    label_deal = makeLabel(panel_board, QStringLiteral("label_deal"), {452, 14}, font, Qt::white);
    label_deal->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label_deal->resize(300, QFontMetrics(font).height());   // ends where the board ends

    // Small, on the baseline of "Cards Left", clear of its widest text.
    const QFont verdictFont = houseFont(11);
    const QFont cardsLeftFont = label_cardsleft->font();
    const int verdictLeft = label_cardsleft->x() + QFontMetrics(cardsLeftFont).horizontalAdvance(
                                                       QStringLiteral("Cards Left: 23")) + 8;
    const int verdictTop = label_cardsleft->y() + QFontMetrics(cardsLeftFont).ascent()
                           - QFontMetrics(verdictFont).ascent();
    label_verdict = makeLabel(panel_board1, QStringLiteral("label_verdict"), {verdictLeft, verdictTop}, verdictFont,
                              Qt::white);
    label_verdict->stackUnder(panel_name);
    label_verdict->hide();

    // Between the title and the buttons of the lost panel; right of CANCEL on
    // the cleared one.
    const QFont bestFont = houseFont(11);
    label_bestlost = makeLabel(panel_lost, QStringLiteral("label_bestlost"), {1, 34}, bestFont, Qt::white);
    label_bestlost->setGeometry(1, 34, 327, 17);
    label_bestlost->setAlignment(Qt::AlignCenter);
    label_bestcleared = makeLabel(panel_cleared, QStringLiteral("label_bestcleared"), {226, 183}, bestFont,
                                  Qt::white);
    label_bestcleared->setGeometry(226, 183, 102, 40);
    label_bestcleared->setAlignment(Qt::AlignCenter);
    label_bestcleared->stackUnder(panel_wait);

    hintMarker_ = new HintMarker(panel_board1);
}

const QPixmap& BoardView::backgroundPicture() const
{
    return LbBackground1->image();
}

void BoardView::show(const GameTable& game, const CardImages& cards)
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        PictureControl* card = cardControls_[slot];
        const int value = game.slotValue(slot);
        card->setVisible(value != 0);
        if (value != 0)
            card->setPicture(cards.picture(game.slotFaceUp(slot) ? value : 0));
        else
            card->clearPicture();
    }
    if (game.stockShowsBack())
        image_stock->setPicture(cards.picture(0));
    else
        image_stock->clearPicture();
    if (game.discardValue() != 0)
        image_discard->setPicture(cards.picture(game.discardValue()));
    else
        image_discard->clearPicture();

    setAutoSizedText(label_score, QString::fromStdString(game.scoreText()));
    setAutoSizedText(label_bonus, QString::fromStdString(game.bonusText()));
    setAutoSizedText(label_cardsleft, QString::fromStdString(game.cardsLeftText()));
    button_undo->setVisible(game.undoButtonVisible());

    const std::optional<std::uint32_t> dealNumber = game.dealNumber();
    label_deal->setText(dealNumber ? QStringLiteral("Deal %1").arg(*dealNumber) : QString());
}

void BoardView::showInsight(bool shown, std::optional<bool> winnable, std::optional<int> best)
{
    setAutoSizedText(label_verdict, !winnable ? QString()
                                    : *winnable ? QStringLiteral("Winnable")
                                                : QStringLiteral("Not winnable"));
    label_verdict->setVisible(shown);
    for (QLabel* label : {label_bestlost, label_bestcleared}) {
        label->setText(best ? QStringLiteral("Best possible: %1").arg(*best) : QString());
        label->setVisible(shown);
    }
}

void BoardView::showHint(Move move)
{
    hintMarker_->showOn(move.isStock() ? image_stock : cardControls_[move.slot]);
}

void BoardView::withdrawHint()
{
    hintMarker_->withdraw();
}

void BoardView::showGreeting(const QString& text)
{
    setAutoSizedText(label_name, text);
}

void BoardView::showNamePanel()
{
    panel_name->show();
    panel_name->raise();
    edit_aname->setFocus(Qt::OtherFocusReason);
}

void BoardView::hideOverlayPanels()
{
    panel_wait->hide();
    panel_lost->hide();
    panel_name->hide();
    panel_cleared->hide();
}

void BoardView::showLostPanel(bool bringToFront)
{
    panel_lost->show();
    if (bringToFront)
        panel_lost->raise();
}

void BoardView::showClearedPanel(const QString& title, const QString& scoreText)
{
    Label1->setText(title);
    Label2->setText(title);
    label_score1->setText(scoreText);
    button_sendscore->show();
    panel_cleared->show();
    panel_cleared->raise();
}

} // namespace kestrova
