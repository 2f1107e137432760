// BoardView: the board's controls in the main window's client area (the
// cards, stock, discard, labels and buttons, and the name, lost and cleared
// panels over them), drawn from the game table's state. Clicks come out as
// signals; what they do is the window's business.
#pragma once

#include "game/gametable.h"
#include "game/move.h"

#include <QObject>
#include <QString>

#include <array>
#include <optional>

class QLabel;
class QMainWindow;
class QPixmap;
class QWidget;

namespace kestrova {

class CardImages;
class HintMarker;
class NameEdit;
class PictureControl;
class TFlatPanel;
class TLbBackground;

class BoardView : public QObject {
    Q_OBJECT
public:
    // The name boxes start with the name given.
    BoardView(QMainWindow& window, const QString& name);

    // The deal number above the board, the verdict beside "Cards Left", the
    // best score on both end panels and the hint's ring: made after every
    // panel over the board, so that they lie where they always have.
    void addInsightControls();

    const QPixmap& backgroundPicture() const;
    // Every card, the stock, the discard, the labels and the undo controls.
    void show(const GameTable& game, const CardImages& cards);
    // The verdict and the best possible score, or nothing when not shown.
    void showInsight(bool shown, std::optional<bool> winnable, std::optional<int> best);
    void showHint(Move move);
    void withdrawHint();
    void showGreeting(const QString& text);
    void showNamePanel();
    void hideOverlayPanels();
    void showLostPanel(bool bringToFront);
    void showClearedPanel(const QString& title, const QString& scoreText);

    QWidget* clientArea = nullptr;
    TFlatPanel* panel_board = nullptr;
    TFlatPanel* panel_board1 = nullptr;   // the playing area, inside the frame
    TFlatPanel* panel_name = nullptr;
    NameEdit* edit_aname = nullptr;
    TFlatPanel* panel_lost = nullptr;
    TFlatPanel* panel_cleared = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* label_score1 = nullptr;
    NameEdit* edit_name = nullptr;
    TFlatPanel* panel_wait = nullptr;

signals:
    void cardClicked(int slot);
    void stockClicked();
    void startClicked();
    void undoClicked();
    void logoClicked();
    void nameDoneClicked();
    void lostDoneClicked();
    void sendScoreClicked();
    void highscoresClicked();
    void cancelClicked();

private:
    void createBoard(QMainWindow& window);
    void createNamePanel();
    void createLostPanel();
    void createClearedPanel(const QString& name);

    TLbBackground* LbBackground1 = nullptr;
    QLabel* label_name = nullptr;
    std::array<PictureControl*, kSlotCount + 1> cardControls_{};
    PictureControl* image_stock = nullptr;
    PictureControl* image_discard = nullptr;
    QLabel* label_score = nullptr;
    QLabel* label_bonus = nullptr;
    QLabel* label_cardsleft = nullptr;
    PictureControl* button_undo = nullptr;
    QLabel* label_deal = nullptr;
    QLabel* label_verdict = nullptr;
    QLabel* label_bestlost = nullptr;
    QLabel* label_bestcleared = nullptr;
    HintMarker* hintMarker_ = nullptr;
    QLabel* Label1 = nullptr;
    PictureControl* button_sendscore = nullptr;
};

} // namespace kestrova
