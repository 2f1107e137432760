#include "app/mainform.h"

#include "kestrovaversion.h"

#include "app/boardaccessibility.h"
#include "app/boardkeyboard.h"
#include "app/boardparts.h"
#include "app/boardscaler.h"
#include "app/dealinsight.h"
#include "app/scoreposter.h"
#include "app/settings.h"
#include "app/updateoffer.h"
#include "game/position.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "online/httpget.h"
#include "online/selfupdate.h"
#include "online/serverconfig.h"
#include "platform/inifile.h"
#include "platform/localdate.h"
#include "platform/namedmutex.h"
#include "platform/programfolder.h"
#include "platform/url.h"
#include "platform/workarea.h"
#include "platform/soundsink.h"
#include "tally/tallylistform.h"
#include "ui/aboutform.h"
#include "ui/artwork.h"
#include "ui/cardimages.h"
#include "ui/dealnumberdialog.h"
#include "ui/flatpanel.h"
#include "ui/hintmarker.h"
#include "ui/lbbackground.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"
#include "ui/nameedit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenuBar>
#include <QShowEvent>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace kestrova {

namespace {

constexpr QSize kBoardPanelSize{766, 495};
constexpr QSize kCardSize{71, 96};

} // namespace

Tmain::Tmain(Random& random, SoundSink& sounds, QWidget* parent)
    : QMainWindow(parent), random_(random), sounds_(sounds), game_(random, *this),
      cards_(std::make_unique<CardImages>(qApp->devicePixelRatio()))
{
    setObjectName(QStringLiteral("main"));
    reportError_ = [this](const QString& message) {
        QMessageBox::critical(this, QStringLiteral("Kestrova"), message);
    };
    showMessage_ = [this](const QString& message) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrova"), message, QMessageBox::Ok, this);
        box.exec();
    };
    askDeal_ = [this] { return DealNumberDialog::ask(game_.dealNumber(), this); };
    settings_ = new SettingsStore(ProgramFolder::settingsFilePath(programname.toStdString()), this);
    setWindowTitle(QStringLiteral("Kestrova"));
    setFont(houseFont(11));
    createBoard();
    createOverlayPanels();
    createInsightControls();
    createActions();
    createMenus();
    createPlayAids();
    FormCreate();
}

Tmain::~Tmain() = default;

void Tmain::setSecondaryWindows(Ttallylist* tallylist, WindowSource<QWidget> about, WindowSource<QWidget> help,
                                WindowSource<Thighscore> highscore)
{
    tallylist_ = tallylist;
    game_.setTally(tallylist ? &tallylist->model() : nullptr);
    about_ = std::move(about);
    help_ = std::move(help);
    poster_->setHighscoreSource(std::move(highscore));
}

void Tmain::setSecondaryWindows(Ttallylist* tallylist, QWidget* about, QWidget* help, Thighscore* highscore)
{
    setSecondaryWindows(tallylist, [about] { return about; }, [help] { return help; },
                        [highscore] { return highscore; });
}

QWidget* Tmain::aboutWindow() const
{
    return about_ ? about_() : nullptr;
}

QWidget* Tmain::helpWindow() const
{
    return help_ ? help_() : nullptr;
}

const QPixmap& Tmain::backgroundPicture() const
{
    return LbBackground1->image();
}

void Tmain::FormCreate()
{
    mutex_ = std::make_unique<NamedMutex>(programname);
    random_.seedFromClock();
    loadinifile();
    showBoard();
    playsounds("entered");
    panel_name->show();
    panel_name->raise();
    // The name box, not the first picture button in Tab order, has the focus
    // when the window opens.
    edit_aname->setFocus(Qt::OtherFocusReason);
}

void Tmain::createBoard()
{
    const qreal ratio = qApp->devicePixelRatio();

    clientArea_ = new QWidget(this);
    clientArea_->setObjectName(QStringLiteral("clientArea"));
    QPalette palette = clientArea_->palette();
    palette.setColor(QPalette::Window, kNavy);
    clientArea_->setPalette(palette);
    clientArea_->setAutoFillBackground(true);
    // The board is never moved or scaled: the client area keeps at least the
    // board's size plus a 5-pixel margin, and extra room shows the tiles.
    clientArea_->setMinimumSize(kBoardPanelSize + QSize(5, 5));
    setCentralWidget(clientArea_);

    LbBackground1 = new TLbBackground(clientArea_);
    LbBackground1->setObjectName(QStringLiteral("LbBackground1"));
    LbBackground1->setImage(backgroundTile(ratio));

    panel_board = new TFlatPanel(clientArea_);
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
    connect(logo, &PictureControl::clicked, this, &Tmain::image_logoClick);
    makePicture(panel_board1, QStringLiteral("image_stockend"), QRect(292, 322, 72, 97), stockEndMarker);

    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const SlotPlace place = kSlotPlaces[slot];
        PictureControl* card = makePicture(panel_board1, QStringLiteral("card_%1").arg(slot),
                                           QRect(QPoint(place.left, place.top), kCardSize));
        card->setHint(QString::number(slot));
        card->hide();
        connect(card, &PictureControl::clicked, this, [this, slot] { card_19Click(slot); });
        cardControls_[slot] = card;
    }

    image_stock = makePicture(panel_board1, QStringLiteral("image_stock"), QRect(QPoint(293, 323), kCardSize));
    connect(image_stock, &PictureControl::clicked, this, &Tmain::image_stockClick);
    image_discard = makePicture(panel_board1, QStringLiteral("image_discard"), QRect(QPoint(381, 323), kCardSize));

    const QFont labelFont = houseFont(13, true);
    label_cardsleft = makeLabel(panel_board1, QStringLiteral("label_cardsleft"), {291, 425}, labelFont, Qt::white);
    label_score = makeLabel(panel_board1, QStringLiteral("label_score"), {467, 369}, labelFont, Qt::white);
    label_bonus = makeLabel(panel_board1, QStringLiteral("label_bonus"), {456, 403}, labelFont, Qt::white);

    button_start = makePictureButton(panel_board1, QStringLiteral("button_start"), {600, 400}, PictureButton::StartGame);
    connect(button_start, &PictureControl::clicked, this, &Tmain::button_startClick);
    button_undo = makePictureButton(panel_board1, QStringLiteral("button_undo"), {600, 360}, PictureButton::Undo);
    button_undo->hide();
    connect(button_undo, &PictureControl::clicked, this, &Tmain::button_undoClick);
}

void Tmain::createOverlayPanels()
{
    createNamePanel(panel_board1);
    createLostPanel(panel_board1);
    createClearedPanel(panel_board1);
    offer_ = new UpdateOffer(panel_board1, programname, [this](const QString& message) { showMessage_(message); },
                             this);
    for (QWidget* panel : {panel_name, panel_lost, panel_cleared, offer_->panel()})
        panel->installEventFilter(this);
}

bool Tmain::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        // Queued: the frame is flushed to the screen before anything else runs.
        QMetaObject::invokeMethod(this, &Tmain::firstPainted, Qt::QueuedConnection);
        QMetaObject::invokeMethod(offer_, &UpdateOffer::windowPainted, Qt::QueuedConnection);
    }
    return handled;
}

bool Tmain::eventFilter(QObject* watched, QEvent* event)
{
    // A hidden panel must not keep the focus: its box would still take the keys
    // (letters and the window's short-cuts alike) while nobody can see it.
    if (event->type() == QEvent::Hide) {
        auto* panel = static_cast<QWidget*>(watched);
        if (panel->isAncestorOf(focusWidget()))
            panel_board1->setFocus(Qt::OtherFocusReason);
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tmain::createNamePanel(QWidget* board)
{
    panel_name = makeOverlayPanel(board, QStringLiteral("panel_name"), QRect(205, 96, 329, 161));
    makeShadowTitle(panel_name, QStringLiteral("Label5"), QStringLiteral("Label6"), {-1, 10}, {1, 9}, {327, 24}, 19,
                    QStringLiteral("ENTER YOUR NAME"));
    edit_aname = makeNameEdit(panel_name, QStringLiteral("edit_aname"), QRect(83, 52, 161, 32));
    auto* done = makePictureButton(panel_name, QStringLiteral("button_namedone"), {99, 106}, PictureButton::Done);
    connect(done, &PictureControl::clicked, this, &Tmain::button_namedoneClick);
}

void Tmain::createLostPanel(QWidget* board)
{
    panel_lost = makeOverlayPanel(board, QStringLiteral("panel_lost"), QRect(205, 120, 329, 105));
    makeShadowTitle(panel_lost, QStringLiteral("Label7"), QStringLiteral("Label8"), {-1, 10}, {1, 9}, {327, 24}, 19,
                    QStringLiteral("SORRY, YOU LOST!"));
    auto* done = makePictureButton(panel_lost, QStringLiteral("button_donelost"), {27, 52}, PictureButton::Done);
    connect(done, &PictureControl::clicked, this, &Tmain::button_donelostClick);
    auto* start = makePictureButton(panel_lost, QStringLiteral("button_start2"), {171, 52}, PictureButton::StartGame);
    connect(start, &PictureControl::clicked, this, &Tmain::button_startClick);
}

void Tmain::createClearedPanel(QWidget* board)
{
    panel_cleared = makeOverlayPanel(board, QStringLiteral("panel_cleared"), QRect(205, 65, 329, 233));
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
    edit_name->setText(settings_->current().name);
    edit_aname->setText(edit_name->text());
    // The name in effect is the one in this box, typed or set; the name panel
    // hands its name over only with DONE.
    connect(edit_name, &QLineEdit::textChanged, settings_, &SettingsStore::setName);
    connect(settings_, &SettingsStore::nameChanged, edit_name, [this](const QString& name) {
        if (edit_name->text() != name)
            edit_name->setText(name);
    });

    button_sendscore = makePictureButton(panel_cleared, QStringLiteral("button_sendscore"), {27, 132},
                                         PictureButton::SendScore);
    connect(button_sendscore, &PictureControl::clicked, this, &Tmain::button_sendscoreClick);
    auto* highscores = makePictureButton(panel_cleared, QStringLiteral("button_highscores"), {171, 132},
                                         PictureButton::HighScores);
    connect(highscores, &PictureControl::clicked, this, &Tmain::button_highscoresClick);
    auto* cancel = makePictureButton(panel_cleared, QStringLiteral("button_cancel"), {99, 183}, PictureButton::Cancel);
    connect(cancel, &PictureControl::clicked, this, &Tmain::button_cancelClick);

    panel_wait = makeOverlayPanel(panel_cleared, QStringLiteral("panel_wait"), QRect(27, 129, 288, 46));
    panel_wait->setFrameColor(kNavy);
    panel_wait->setAlignment(Qt::AlignLeft);
    panel_wait->setFont(houseFont(19));
    QPalette palette = panel_wait->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    panel_wait->setPalette(palette);
    panel_wait->setCaption(QStringLiteral("Posting Score, Please Wait......"));

    poster_ = new ScorePoster(panel_wait, [this](const QString& message) { showMessage_(message); }, this);
    connect(poster_, &ScorePoster::posted, panel_cleared, &QWidget::hide);
}

// The deal number above the board, the verdict beside "Cards Left", the best
// score on both end panels and the hint's ring: all in places that no other
// control uses, so that nothing else moves.
void Tmain::createInsightControls()
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
    insight_ = std::make_unique<DealInsight>();
    connect(insight_.get(), &DealInsight::verdictChanged, this, &Tmain::showInsight);
    connect(insight_.get(), &DealInsight::dealBestScoreFound, this, &Tmain::showInsight);
    connect(insight_.get(), &DealInsight::hintFound, this, &Tmain::showHint);
    connect(insight_.get(), &DealInsight::hintWithdrawn, hintMarker_, &HintMarker::withdraw);
}

void Tmain::createActions()
{
    auto makeAction = [this](const QString& name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        return action;
    };
    StartGame1 = makeAction(QStringLiteral("StartGame1"), QStringLiteral("Start New Game"));
    StartGame1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(StartGame1, &QAction::triggered, this, &Tmain::StartGame1Click);
    SelectDeal1 = makeAction(QStringLiteral("SelectDeal1"), QStringLiteral("Select Deal..."));
    connect(SelectDeal1, &QAction::triggered, this, &Tmain::SelectDeal1Click);
    Undo1 = makeAction(QStringLiteral("Undo1"), QStringLiteral("Undo"));
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(Undo1, &QAction::triggered, this, &Tmain::button_undoClick);
    Hint1 = makeAction(QStringLiteral("Hint1"), QStringLiteral("Hint"));
    Hint1->setShortcut(QKeySequence(Qt::Key_H));
    connect(Hint1, &QAction::triggered, this, &Tmain::Hint1Click);
    Exit1 = makeAction(QStringLiteral("Exit1"), QStringLiteral("Exit"));
    connect(Exit1, &QAction::triggered, this, &Tmain::Exit1Click);

    PlaySounds1 = makeAction(QStringLiteral("PlaySounds1"), QStringLiteral("Play Sounds"));
    PlaySounds1->setCheckable(true);
    PlaySounds1->setChecked(true);
    connect(PlaySounds1, &QAction::toggled, settings_, &SettingsStore::setSounds);
    connect(PlaySounds1, &QAction::triggered, this, &Tmain::PlaySounds1Click);
    ResetScreenLocation1 = makeAction(QStringLiteral("ResetScreenLocation1"), QStringLiteral("Reset Screen Location"));
    connect(ResetScreenLocation1, &QAction::triggered, this, &Tmain::ResetScreenLocation1Click);
    ChangeName1 = makeAction(QStringLiteral("ChangeName1"), QStringLiteral("Change  Name"));
    connect(ChangeName1, &QAction::triggered, this, &Tmain::ChangeName1Click);
    updatecheck = makeAction(QStringLiteral("updatecheck"), QStringLiteral("Automatically Check for Updates"));
    updatecheck->setCheckable(true);
    updatecheck->setChecked(true);
    connect(updatecheck, &QAction::toggled, settings_, &SettingsStore::setUpdateCheck);
    connect(updatecheck, &QAction::triggered, this, &Tmain::updatecheckClick);
    ShowWinnability1 = makeAction(QStringLiteral("ShowWinnability1"), QStringLiteral("Show Winnability"));
    ShowWinnability1->setCheckable(true);
    connect(ShowWinnability1, &QAction::triggered, this, &Tmain::ShowWinnability1Click);

    TallyList1 = makeAction(QStringLiteral("TallyList1"), QStringLiteral("Tally List"));
    connect(TallyList1, &QAction::triggered, this, &Tmain::TallyList1Click);
    ViewHighScoreList1 = makeAction(QStringLiteral("ViewHighScoreList1"), QStringLiteral("View High Score List"));
    connect(ViewHighScoreList1, &QAction::triggered, this, &Tmain::ViewHighScoreList1Click);

    Help2 = makeAction(QStringLiteral("Help2"), QStringLiteral("Help"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    connect(Help2, &QAction::triggered, this, &Tmain::Help2Click);
    About1 = makeAction(QStringLiteral("About1"), QStringLiteral("About"));
    connect(About1, &QAction::triggered, this, &Tmain::About1Click);

    FourColourDeck1 = makeAction(QStringLiteral("FourColourDeck1"), QStringLiteral("Four-Colour Deck"));
    FourColourDeck1->setCheckable(true);
    connect(FourColourDeck1, &QAction::toggled, settings_, &SettingsStore::setFourColour);
    connect(FourColourDeck1, &QAction::triggered, this, &Tmain::FourColourDeck1Click);
    ScaleBoardtoWindow1 = makeAction(QStringLiteral("ScaleBoardtoWindow1"), QStringLiteral("Scale Board to Window"));
    ScaleBoardtoWindow1->setCheckable(true);
    connect(ScaleBoardtoWindow1, &QAction::toggled, settings_, &SettingsStore::setScaleBoard);
    connect(ScaleBoardtoWindow1, &QAction::triggered, this, &Tmain::ScaleBoardtoWindow1Click);
}

void Tmain::createMenus()
{
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [MainMenu1](const QString& name, const QString& title) {
        QMenu* menu = MainMenu1->addMenu(title);
        menu->setObjectName(name);
        return menu;
    };
    auto addSeparator = [](QMenu* menu, const QString& name) { menu->addSeparator()->setObjectName(name); };

    QMenu* file1 = addMenu(QStringLiteral("file1"), QStringLiteral("Game"));
    file1->addAction(StartGame1);
    file1->addAction(SelectDeal1);
    addSeparator(file1, QStringLiteral("N3"));
    file1->addAction(Undo1);
    file1->addAction(Hint1);
    addSeparator(file1, QStringLiteral("N1"));
    file1->addAction(Exit1);

    QMenu* Options1 = addMenu(QStringLiteral("Options1"), QStringLiteral("Options"));
    Options1->addAction(PlaySounds1);
    Options1->addAction(ResetScreenLocation1);
    Options1->addAction(ChangeName1);
    Options1->addAction(updatecheck);
    Options1->addAction(ShowWinnability1);
    Options1->addAction(FourColourDeck1);
    Options1->addAction(ScaleBoardtoWindow1);

    QMenu* View1 = addMenu(QStringLiteral("View1"), QStringLiteral("View"));
    View1->addAction(TallyList1);
    View1->addAction(ViewHighScoreList1);

    QMenu* Help1 = addMenu(QStringLiteral("Help1"), QStringLiteral("Help"));
    Help1->addAction(Help2);
    addSeparator(Help1, QStringLiteral("N2"));
    Help1->addAction(About1);
}

// Keyboard play, names for assistive technology and the scaled board: each
// works from the board's controls and is told when the board was redrawn.
void Tmain::createPlayAids()
{
    keyboard_ = new BoardKeyboard(this, panel_board1, game_, [this](int slot) { card_19Click(slot); },
                                  [this] { image_stockClick(); });
    accessibility_ = new BoardAccessibility(panel_board1, game_);
    connect(this, &Tmain::boardShown, keyboard_, &BoardKeyboard::boardChanged);
    connect(this, &Tmain::boardShown, accessibility_, &BoardAccessibility::boardChanged);

    // Escape closes a panel as its cancel does: the name panel as starting a
    // game does, keeping the name; the lost panel with DONE; the cleared panel
    // with CANCEL; the update offer with NO.
    keyboard_->addPanel(panel_name, [this] { panel_name->hide(); });
    keyboard_->addPanel(panel_lost, [this] { button_donelostClick(); });
    keyboard_->addPanel(panel_cleared, [this] { button_cancelClick(); });
    keyboard_->addPanel(offer_->panel(), [this] {
        if (auto* no = offer_->panel()->findChild<PictureControl*>(QStringLiteral("button_updatecancel")))
            no->click();
    });
    const auto label = [this](const char* name) { return findChild<QLabel*>(QLatin1String(name)); };
    accessibility_->addPanel(panel_name, label("Label6"));
    accessibility_->addPanel(panel_lost, label("Label8"));
    accessibility_->addPanel(panel_cleared, Label2, label_score1);
    accessibility_->addPanel(offer_->panel(), label("Label10"), label("Label12"));

    scaler_ = new BoardScaler(clientArea_, panel_board);
    connect(scaler_, &BoardScaler::picturesScaled, this, &Tmain::remakeCardImages);
    connect(scaler_, &BoardScaler::laidOut, keyboard_, &BoardKeyboard::setScale);
}

// Redraws every board control from the game table's state.
void Tmain::showBoard()
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        PictureControl* card = cardControls_[slot];
        const int value = game_.slotValue(slot);
        card->setVisible(value != 0);
        if (value != 0)
            card->setPicture(cards_->picture(game_.slotFaceUp(slot) ? value : 0));
        else
            card->clearPicture();
    }
    if (game_.stockShowsBack())
        image_stock->setPicture(cards_->picture(0));
    else
        image_stock->clearPicture();
    if (game_.discardValue() != 0)
        image_discard->setPicture(cards_->picture(game_.discardValue()));
    else
        image_discard->clearPicture();

    setAutoSizedText(label_score, QString::fromStdString(game_.scoreText()));
    setAutoSizedText(label_bonus, QString::fromStdString(game_.bonusText()));
    setAutoSizedText(label_cardsleft, QString::fromStdString(game_.cardsLeftText()));
    button_undo->setVisible(game_.undoButtonVisible());
    Undo1->setEnabled(game_.undoMenuEnabled());

    const std::optional<std::uint32_t> dealNumber = game_.dealNumber();
    label_deal->setText(dealNumber ? QStringLiteral("Deal %1").arg(*dealNumber) : QString());
    insight_->setPosition(Position::of(game_));
    showInsight();
    emit boardShown();
}

void Tmain::button_startClick()
{
    game_.button_startClick();
    showBoard();
    saveTally();
}

void Tmain::dealDeck(const Deck& deck)
{
    game_.startWithDeck(deck);
    showBoard();
    saveTally();
}

void Tmain::StartGame1Click()
{
    button_startClick();
    panel_cleared->hide();
}

void Tmain::card_19Click(int slot)
{
    const bool wasOn = game_.gameon();
    game_.card_19Click(slot);
    showBoard();
    if (wasOn && !game_.gameon())
        saveTally();
}

void Tmain::image_stockClick()
{
    const bool wasOn = game_.gameon();
    game_.image_stockClick();
    showBoard();
    if (wasOn && !game_.gameon())
        saveTally();
}

// Besides the save at exit: a crash, a power cut or a killed process then loses
// at most the game in progress.
void Tmain::saveTally()
{
    if (tallylist_)
        tallylist_->savetally();
}

void Tmain::button_undoClick()
{
    game_.button_undoClick();
    showBoard();
}

void Tmain::button_donelostClick()
{
    panel_lost->hide();
}

void Tmain::button_cancelClick()
{
    panel_cleared->hide();
}

void Tmain::button_namedoneClick()
{
    settings_->setName(edit_aname->text());
    panel_name->hide();
}

void Tmain::ChangeName1Click()
{
    panel_name->show();
    panel_name->raise();
    edit_aname->setFocus(Qt::OtherFocusReason);
}

// Both options: the action has already flipped its check mark.
void Tmain::PlaySounds1Click()
{
    saveinifile();
    if (playsSounds())
        emit soundsSwitchedOn();
}

void Tmain::updatecheckClick()
{
    saveinifile();
}

void Tmain::FourColourDeck1Click()
{
    remakeCardImages();
    saveinifile();
}

void Tmain::ScaleBoardtoWindow1Click()
{
    scaler_->setEnabled(settings_->current().scaleBoard);
    saveinifile();
}

void Tmain::remakeCardImages()
{
    cards_ = std::make_unique<CardImages>(qApp->devicePixelRatio(),
                                          settings_->current().fourColour ? CardColours::FourColour
                                                                       : CardColours::TwoColour,
                                          scaler_->pictureScale());
    showBoard();
}

void Tmain::FormShow()
{
    if (settings_->current().updateCheck)
        offer_->check();
}

void Tmain::button_updateyesClick()
{
    offer_->button_updateyesClick();
}

SelfUpdate& Tmain::selfUpdate()
{
    return offer_->selfUpdate();
}

void Tmain::ResetScreenLocation1Click()
{
    setOuterBounds(Settings{}.bounds);
}

void Tmain::TallyList1Click()
{
    if (tallylist_)
        tallylist_->showOver(this);
}

void Tmain::ViewHighScoreList1Click()
{
    Thighscore* highscore = poster_->highscoreWindow();
    if (!highscore)
        return;
    showSecondaryWindow(highscore);
    highscore->loadit();
}

// The logo opens the maker's web site through the about window's link.
void Tmain::image_logoClick()
{
    if (auto* about = qobject_cast<Tabout*>(aboutWindow()))
        about->URL1()->OpenURL();
}

void Tmain::button_highscoresClick()
{
    ViewHighScoreList1Click();
}

void Tmain::button_sendscoreClick()
{
    if (settings_->current().name.isEmpty())
        settings_->setName(QStringLiteral("Guest"));
    poster_->button_sendscoreClick(settings_->current().name, game_.score());
}

void Tmain::Help2Click()
{
    showSecondaryWindow(helpWindow());
}

void Tmain::About1Click()
{
    showSecondaryWindow(aboutWindow());
}

void Tmain::showSecondaryWindow(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void Tmain::Exit1Click()
{
    close();
}

std::filesystem::path Tmain::settingsFilePath() const
{
    return settings_->filePath();
}

QRect Tmain::outerBounds() const
{
    return frameGeometry();
}

void Tmain::setOuterBounds(const QRect& bounds)
{
    requestedBounds_ = bounds;
    const QSize frame = frameGeometry().size() - geometry().size();
    // Before the window manager has framed the window the frame counts as
    // nothing; fitToFrame() corrects the size once the frame is known.
    frameFitPending_ = frame.isNull();
    move(bounds.topLeft());
    resize(bounds.size() - frame);
}

void Tmain::fitToFrame()
{
    if (!frameFitPending_ || !isVisible())
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull())
        return;
    frameFitPending_ = false;
    resize(requestedBounds_.size() - frame);
}

void Tmain::loadinifile()
{
    const Settings& settings = settings_->load();
    loadedBounds_ = settings.bounds;
    setOuterBounds(settings.bounds);
    updatecheck->setChecked(settings.updateCheck);
    PlaySounds1->setChecked(settings.sounds);
    edit_aname->setText(settings.name);
    FourColourDeck1->setChecked(settings.fourColour);
    ScaleBoardtoWindow1->setChecked(settings.scaleBoard);
    if (settings.fourColour)
        remakeCardImages();
    scaler_->setEnabled(settings.scaleBoard);
}

void Tmain::saveinifile()
{
    settings_->setBounds(outerBounds());
    try {
        settings_->save();
    } catch (const IniFileError& error) {
        // The rest of the keys are skipped; the options keep their new state.
        if (terminating_)
            std::fprintf(stderr, "kestrova: %s\n", error.what());
        else
            reportError_(QString::fromStdString(error.what()));
    }
}

void Tmain::FormClose()
{
    if (outerBounds() != loadedBounds_) {
        // A window moved or resized beyond the work area comes back 3 pixels
        // smaller in that direction, exactly.
        const QRect workArea = desktopWorkArea();
        QRect bounds = outerBounds();
        if (bounds.width() > workArea.width())
            bounds.setWidth(bounds.width() - 3);
        if (bounds.height() > workArea.height())
            bounds.setHeight(bounds.height() - 3);
        setOuterBounds(bounds);
        loadedBounds_ = outerBounds();
    }
    saveinifile();
}

// The frame arrives some time after the window is shown, with a move or a
// resize of the client area, depending on the window manager.
void Tmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitToFrame();
    // Restoring from the taskbar is no new showing of the window.
    if (!event->spontaneous())
        FormShow();
}

void Tmain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    fitToFrame();
}

void Tmain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fitToFrame();
}

void Tmain::closeForTermination()
{
    terminating_ = true;
    // A move or resize that the window system reported just before the signal
    // may still be on its way to the queue (read by another thread); the
    // bounds saved must include it. A tenth of a second is far inside what a
    // session allows a program to end in.
    QEventLoop settle;
    QTimer::singleShot(100, &settle, &QEventLoop::quit);
    settle.exec();
    close();
}

void Tmain::closeEvent(QCloseEvent* event)
{
    // A download waits inside a click handler; closing ends that wait.
    offer_->selfUpdate().abort();
    FormClose();
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QCoreApplication::quit();
}

bool Tmain::playsSounds() const
{
    return settings_->current().sounds;
}

void Tmain::playsounds(std::string_view name)
{
    if (playsSounds())
        sounds_.play(name);
}

std::string Tmain::playerName() const
{
    return settings_->current().name.toStdString();
}

void Tmain::showGreeting(const std::string& text)
{
    setAutoSizedText(label_name, QString::fromStdString(text));
}

void Tmain::hideOverlayPanels()
{
    panel_wait->hide();
    panel_lost->hide();
    panel_name->hide();
    panel_cleared->hide();
}

void Tmain::showLostPanel(bool bringToFront)
{
    panel_lost->show();
    if (bringToFront)
        panel_lost->raise();
}

void Tmain::showClearedPanel(const std::string& title, const std::string& scoreText)
{
    Label1->setText(QString::fromStdString(title));
    Label2->setText(QString::fromStdString(title));
    label_score1->setText(QString::fromStdString(scoreText));
    button_sendscore->show();
    panel_cleared->show();
    panel_cleared->raise();
}

void Tmain::SelectDeal1Click()
{
    const std::optional<std::uint32_t> number = askDeal_();
    if (!number)
        return;
    game_.startDeal(*number);
    showBoard();
    saveTally();
}

void Tmain::Hint1Click()
{
    insight_->requestHint();
}

void Tmain::showHint(Move move)
{
    hintMarker_->showOn(move.isStock() ? image_stock : cardControls_[move.slot]);
}

// The option is kept for the run only: the settings file keeps exactly its
// own keys.
void Tmain::ShowWinnability1Click()
{
    insight_->setWatched(ShowWinnability1->isChecked());
    showInsight();
}

void Tmain::showInsight()
{
    const bool shown = ShowWinnability1 && ShowWinnability1->isChecked();
    const std::optional<bool> winnable = insight_->winnable();
    setAutoSizedText(label_verdict, !winnable ? QString()
                                    : *winnable ? QStringLiteral("Winnable")
                                                : QStringLiteral("Not winnable"));
    label_verdict->setVisible(shown);

    const std::optional<int> best = insight_->dealBestScore();
    for (QLabel* label : {label_bestlost, label_bestcleared}) {
        label->setText(best ? QStringLiteral("Best possible: %1").arg(*best) : QString());
        label->setVisible(shown);
    }
}

} // namespace kestrova
