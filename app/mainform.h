// Tmain: the game window. It wires the board, the menu, the settings, score
// posting and the update offer to the game table, routes clicks and menu
// commands to the table, and shows the table's state after each one.
#pragma once

#include "game/gamehost.h"
#include "game/gametable.h"

#include <QMainWindow>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

class BoardAccessibility;
class BoardKeyboard;
class BoardScaler;
class BoardView;
class CardImages;
class DealInsight;
class MainMenu;
class NamedMutex;
class Random;
class ScorePoster;
class SelfUpdate;
class SettingsStore;
class SoundSink;
class Thighscore;
class Ttallylist;
class UpdateOffer;
class WindowPlacement;

class Tmain : public QMainWindow, public GameHost {
    Q_OBJECT
public:
    // The generator is the process-wide one; it is seeded here, once.
    Tmain(Random& random, SoundSink& sounds, QWidget* parent = nullptr);
    ~Tmain() override;

    // The secondary windows, created after this one. The tally window exists
    // for the whole run (it keeps the tally); the others are asked for through
    // their sources when first needed, so that a start never builds a window
    // nobody opens. A source may give none.
    template <typename Window>
    using WindowSource = std::function<Window*()>;
    void setSecondaryWindows(Ttallylist* tallylist, WindowSource<QWidget> about, WindowSource<QWidget> help,
                             WindowSource<Thighscore> highscore);
    // The same, for windows already built.
    void setSecondaryWindows(Ttallylist* tallylist, QWidget* about, QWidget* help, Thighscore* highscore);

    const QString programname = QStringLiteral("kestrova");
    // Settings file: kestrova.ini in the program's data folder.
    std::filesystem::path settingsFilePath() const;
    // kestrova.ini's contents, the name included.
    SettingsStore& settings() { return *settings_; }
    const QPixmap& backgroundPicture() const;
    GameTable& game() { return game_; }
    const GameTable& game() const { return game_; }
    DealInsight& dealInsight() { return *insight_; }
    // Whether "Play Sounds" is checked.
    bool playsSounds() const;

    // Board and menu handlers.
    void button_startClick();
    void StartGame1Click();
    // Serves all 28 card controls; each passes its slot number.
    void card_19Click(int slot);
    void image_stockClick();
    void button_undoClick();
    void button_donelostClick();
    void button_cancelClick();
    void button_highscoresClick();
    void button_sendscoreClick();
    void button_namedoneClick();
    void ChangeName1Click();
    void PlaySounds1Click();
    void updatecheckClick();
    void button_updateyesClick();
    void ResetScreenLocation1Click();
    void TallyList1Click();
    void ViewHighScoreList1Click();
    void image_logoClick();
    void Help2Click();
    void About1Click();
    void Exit1Click();
    void SelectDeal1Click();
    void Hint1Click();
    void ShowWinnability1Click();
    void FourColourDeck1Click();
    void ScaleBoardtoWindow1Click();

    // Starts a game with a deck in a known order, as START GAME does with a
    // shuffled one; for tests and replays.
    void dealDeck(const Deck& deck);

    // GameHost
    void playsounds(std::string_view name) override;
    std::string playerName() const override;
    void showGreeting(const std::string& text) override;
    void hideOverlayPanels() override;
    void showLostPanel(bool bringToFront) override;
    void showClearedPanel(const std::string& title, const std::string& scoreText) override;

    // Reads the settings and shows them; writes them with the window's bounds.
    void loadinifile();
    void saveinifile();

    // The installer download and start; tests point it at a folder of their own.
    SelfUpdate& selfUpdate();

    // Closes the window as a polite termination asks: settings are saved, but
    // nothing waits for the player.
    void closeForTermination();

    // Where error boxes go; tests record them instead.
    using ErrorReporter = std::function<void(const QString& message)>;
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }
    // Where plain messages go ("Posting Failed."); a modal box by default.
    using MessageReporter = std::function<void(const QString& message)>;
    void setMessageReporter(MessageReporter reporter) { showMessage_ = std::move(reporter); }
    // Where "Select Deal..." asks for a deal number (none: cancelled); a dialog by default.
    using DealAsker = std::function<std::optional<std::uint32_t>()>;
    void setDealAsker(DealAsker asker) { askDeal_ = std::move(asker); }

    // The window's outer bounds, frame included, as the settings file keeps them.
    QRect outerBounds() const;
    void setOuterBounds(const QRect& bounds);

signals:
    // After every redraw of the board from the game table.
    void boardShown();
    // Once, after the window's first frame has been painted: the moment for
    // work the first screen does not need.
    void firstPainted();
    // When the player has checked "Play Sounds" in the menu.
    void soundsSwitchedOn();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void createBoard();
    void createMenu();
    void createPlayAids();
    void remakeCardImages();
    void showBoard();
    void showInsight();
    void showSecondaryWindow(QWidget* window);
    void saveTally();

    std::unique_ptr<NamedMutex> mutex_;
    std::unique_ptr<WindowPlacement> placement_;
    bool terminating_ = false;
    bool painted_ = false;
    ErrorReporter reportError_;
    MessageReporter showMessage_;
    DealAsker askDeal_;

    Random& random_;
    SoundSink& sounds_;
    GameTable game_;
    std::unique_ptr<CardImages> cards_;
    std::unique_ptr<DealInsight> insight_;

    SettingsStore* settings_ = nullptr;
    BoardView* board_ = nullptr;
    MainMenu* menu_ = nullptr;
    ScorePoster* poster_ = nullptr;
    UpdateOffer* offer_ = nullptr;
    BoardKeyboard* keyboard_ = nullptr;
    BoardAccessibility* accessibility_ = nullptr;
    BoardScaler* scaler_ = nullptr;

    Ttallylist* tallylist_ = nullptr;
    WindowSource<QWidget> about_;
    WindowSource<QWidget> help_;
};

} // namespace kestrova
