#include "app/mainform.h"

#include "app/boardaccessibility.h"
#include "app/boardkeyboard.h"
#include "app/boardscaler.h"
#include "app/boardview.h"
#include "app/dealinsight.h"
#include "app/mainmenu.h"
#include "app/scoreposter.h"
#include "app/settings.h"
#include "app/updateoffer.h"
#include "app/windowplacement.h"
#include "game/position.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "online/selfupdate.h"
#include "platform/inifile.h"
#include "platform/namedmutex.h"
#include "platform/programfolder.h"
#include "platform/soundsink.h"
#include "platform/url.h"
#include "tally/tallylistform.h"
#include "ui/aboutform.h"
#include "ui/cardimages.h"
#include "ui/dealnumberdialog.h"
#include "ui/flatpanel.h"
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace kestrova {

Tmain::Tmain(Random& random, SoundSink& sounds, QWidget* parent)
    : QMainWindow(parent), placement_(std::make_unique<WindowPlacement>(*this)), random_(random), sounds_(sounds),
      game_(random, *this),
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
    createMenu();
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

const QPixmap& Tmain::backgroundPicture() const
{
    return board_->backgroundPicture();
}

void Tmain::FormCreate()
{
    mutex_ = std::make_unique<NamedMutex>(programname);
    random_.seedFromClock();
    loadinifile();
    showBoard();
    playsounds("entered");
    // The name box, not the first picture button in Tab order, has the focus
    // when the window opens.
    board_->showNamePanel();
}

// The board and the panels over it, the update offer among them, and then
// what the deal insight shows on them.
void Tmain::createBoard()
{
    board_ = new BoardView(*this, settings_->current().name);
    connect(board_, &BoardView::cardClicked, this, &Tmain::card_19Click);
    connect(board_, &BoardView::stockClicked, this, &Tmain::image_stockClick);
    connect(board_, &BoardView::startClicked, this, &Tmain::button_startClick);
    connect(board_, &BoardView::undoClicked, this, &Tmain::button_undoClick);
    connect(board_, &BoardView::logoClicked, this, &Tmain::image_logoClick);
    connect(board_, &BoardView::nameDoneClicked, this, &Tmain::button_namedoneClick);
    connect(board_, &BoardView::lostDoneClicked, this, &Tmain::button_donelostClick);
    connect(board_, &BoardView::sendScoreClicked, this, &Tmain::button_sendscoreClick);
    connect(board_, &BoardView::highscoresClicked, this, &Tmain::button_highscoresClick);
    connect(board_, &BoardView::cancelClicked, this, &Tmain::button_cancelClick);

    // The name in effect is the one in the cleared panel's box, typed or set;
    // the name panel hands its name over only with DONE.
    NameEdit* name = board_->edit_name;
    connect(name, &QLineEdit::textChanged, settings_, &SettingsStore::setName);
    connect(settings_, &SettingsStore::nameChanged, name, [name](const QString& text) {
        if (name->text() != text)
            name->setText(text);
    });

    const auto showMessage = [this](const QString& message) { showMessage_(message); };
    poster_ = new ScorePoster(board_->panel_wait, showMessage, this);
    connect(poster_, &ScorePoster::posted, board_->panel_cleared, &QWidget::hide);
    offer_ = new UpdateOffer(board_->panel_board1, programname, showMessage, this);
    for (QWidget* panel : {board_->panel_name, board_->panel_lost, board_->panel_cleared, offer_->panel()})
        panel->installEventFilter(this);

    board_->addInsightControls();
    insight_ = std::make_unique<DealInsight>();
    connect(insight_.get(), &DealInsight::verdictChanged, this, &Tmain::showInsight);
    connect(insight_.get(), &DealInsight::dealBestScoreFound, this, &Tmain::showInsight);
    connect(insight_.get(), &DealInsight::hintFound, board_, &BoardView::showHint);
    connect(insight_.get(), &DealInsight::hintWithdrawn, board_, &BoardView::withdrawHint);
}

void Tmain::createMenu()
{
    menu_ = new MainMenu(*this, *settings_);
    const std::pair<QAction*, void (Tmain::*)()> commands[] = {
        {menu_->StartGame1, &Tmain::StartGame1Click},
        {menu_->SelectDeal1, &Tmain::SelectDeal1Click},
        {menu_->Undo1, &Tmain::button_undoClick},
        {menu_->Hint1, &Tmain::Hint1Click},
        {menu_->Exit1, &Tmain::Exit1Click},
        {menu_->PlaySounds1, &Tmain::PlaySounds1Click},
        {menu_->ResetScreenLocation1, &Tmain::ResetScreenLocation1Click},
        {menu_->ChangeName1, &Tmain::ChangeName1Click},
        {menu_->updatecheck, &Tmain::updatecheckClick},
        {menu_->ShowWinnability1, &Tmain::ShowWinnability1Click},
        {menu_->TallyList1, &Tmain::TallyList1Click},
        {menu_->ViewHighScoreList1, &Tmain::ViewHighScoreList1Click},
        {menu_->Help2, &Tmain::Help2Click},
        {menu_->About1, &Tmain::About1Click},
        {menu_->FourColourDeck1, &Tmain::FourColourDeck1Click},
        {menu_->ScaleBoardtoWindow1, &Tmain::ScaleBoardtoWindow1Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);
}

// Keyboard play, names for assistive technology and the scaled board: each
// works from the board's controls and is told when the board was redrawn.
void Tmain::createPlayAids()
{
    QWidget* board = board_->panel_board1;
    keyboard_ = new BoardKeyboard(this, board, game_, [this](int slot) { card_19Click(slot); },
                                  [this] { image_stockClick(); });
    accessibility_ = new BoardAccessibility(board, game_);
    connect(this, &Tmain::boardShown, keyboard_, &BoardKeyboard::boardChanged);
    connect(this, &Tmain::boardShown, accessibility_, &BoardAccessibility::boardChanged);

    // Escape closes a panel as its cancel does: the name panel as starting a
    // game does, keeping the name; the lost panel with DONE; the cleared panel
    // with CANCEL; the update offer with NO.
    keyboard_->addPanel(board_->panel_name, [this] { board_->panel_name->hide(); });
    keyboard_->addPanel(board_->panel_lost, [this] { button_donelostClick(); });
    keyboard_->addPanel(board_->panel_cleared, [this] { button_cancelClick(); });
    keyboard_->addPanel(offer_->panel(), [this] {
        if (auto* no = offer_->panel()->findChild<PictureControl*>(QStringLiteral("button_updatecancel")))
            no->click();
    });
    const auto label = [this](const char* name) { return findChild<QLabel*>(QLatin1String(name)); };
    accessibility_->addPanel(board_->panel_name, label("Label6"));
    accessibility_->addPanel(board_->panel_lost, label("Label8"));
    accessibility_->addPanel(board_->panel_cleared, board_->Label2, board_->label_score1);
    accessibility_->addPanel(offer_->panel(), label("Label10"), label("Label12"));

    scaler_ = new BoardScaler(board_->clientArea, board_->panel_board);
    connect(scaler_, &BoardScaler::picturesScaled, this, &Tmain::remakeCardImages);
    connect(scaler_, &BoardScaler::laidOut, keyboard_, &BoardKeyboard::setScale);
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
            board_->panel_board1->setFocus(Qt::OtherFocusReason);
    }
    return QMainWindow::eventFilter(watched, event);
}

// Redraws every board control from the game table's state.
void Tmain::showBoard()
{
    board_->show(game_, *cards_);
    menu_->Undo1->setEnabled(game_.undoMenuEnabled());
    insight_->setPosition(Position::of(game_));
    showInsight();
    emit boardShown();
}

void Tmain::showInsight()
{
    board_->showInsight(menu_->ShowWinnability1->isChecked(), insight_->winnable(), insight_->dealBestScore());
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

void Tmain::SelectDeal1Click()
{
    const std::optional<std::uint32_t> number = askDeal_();
    if (!number)
        return;
    game_.startDeal(*number);
    showBoard();
    saveTally();
}

void Tmain::StartGame1Click()
{
    button_startClick();
    board_->panel_cleared->hide();
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

void Tmain::button_donelostClick() { board_->panel_lost->hide(); }
void Tmain::button_cancelClick() { board_->panel_cleared->hide(); }
void Tmain::ChangeName1Click() { board_->showNamePanel(); }
void Tmain::Hint1Click() { insight_->requestHint(); }
void Tmain::Exit1Click() { close(); }
void Tmain::button_updateyesClick() { offer_->button_updateyesClick(); }
SelfUpdate& Tmain::selfUpdate() { return offer_->selfUpdate(); }

void Tmain::button_namedoneClick()
{
    settings_->setName(board_->edit_aname->text());
    board_->panel_name->hide();
}

void Tmain::button_sendscoreClick()
{
    if (settings_->current().name.isEmpty())
        settings_->setName(QStringLiteral("Guest"));
    poster_->button_sendscoreClick(settings_->current().name, game_.score());
}

// The options: the action has already flipped its check mark, and with it the setting.
void Tmain::PlaySounds1Click()
{
    saveinifile();
    if (playsSounds())
        emit soundsSwitchedOn();
}

void Tmain::updatecheckClick() { saveinifile(); }

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

// Kept for the run only, as the menu says.
void Tmain::ShowWinnability1Click()
{
    insight_->setWatched(menu_->ShowWinnability1->isChecked());
    showInsight();
}

void Tmain::remakeCardImages()
{
    cards_ = std::make_unique<CardImages>(qApp->devicePixelRatio(),
                                          settings_->current().fourColour ? CardColours::FourColour
                                                                          : CardColours::TwoColour,
                                          scaler_->pictureScale());
    showBoard();
}

void Tmain::ResetScreenLocation1Click() { setOuterBounds(Settings{}.bounds); }

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

void Tmain::button_highscoresClick() { ViewHighScoreList1Click(); }

// The logo opens the maker's web site through the about window's link.
void Tmain::image_logoClick()
{
    if (auto* about = qobject_cast<Tabout*>(about_ ? about_() : nullptr))
        about->URL1()->OpenURL();
}

void Tmain::Help2Click() { showSecondaryWindow(help_ ? help_() : nullptr); }
void Tmain::About1Click() { showSecondaryWindow(about_ ? about_() : nullptr); }

void Tmain::showSecondaryWindow(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

std::filesystem::path Tmain::settingsFilePath() const { return settings_->filePath(); }
QRect Tmain::outerBounds() const { return placement_->outerBounds(); }
void Tmain::setOuterBounds(const QRect& bounds) { placement_->setOuterBounds(bounds); }

void Tmain::loadinifile()
{
    const Settings& settings = settings_->load();
    placement_->placeAsLoaded(settings.bounds);
    menu_->showSettings();
    board_->edit_aname->setText(settings.name);
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

// The frame arrives some time after the window is shown, with a move or a
// resize of the client area, depending on the window manager.
void Tmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    placement_->fitToFrame();
    // Restoring from the taskbar is no new showing of the window.
    if (!event->spontaneous() && settings_->current().updateCheck)
        offer_->check();
}

void Tmain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    placement_->fitToFrame();
}

void Tmain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placement_->fitToFrame();
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
    placement_->settleForClosing();
    saveinifile();
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QCoreApplication::quit();
}

bool Tmain::playsSounds() const { return settings_->current().sounds; }

void Tmain::playsounds(std::string_view name)
{
    if (playsSounds())
        sounds_.play(name);
}

std::string Tmain::playerName() const { return settings_->current().name.toStdString(); }
void Tmain::showGreeting(const std::string& text) { board_->showGreeting(QString::fromStdString(text)); }
void Tmain::hideOverlayPanels() { board_->hideOverlayPanels(); }
void Tmain::showLostPanel(bool bringToFront) { board_->showLostPanel(bringToFront); }

void Tmain::showClearedPanel(const std::string& title, const std::string& scoreText)
{
    board_->showClearedPanel(QString::fromStdString(title), QString::fromStdString(scoreText));
}

} // namespace kestrova
