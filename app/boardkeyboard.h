// Keyboard play on the board: Left and Right move a focus ring among the free
// cards and the stock in reading order, Return or Space presses what the ring
// stands on, D turns the stock from anywhere, and Escape closes the overlay
// panel on top the way its own cancel or done button would.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QKeyEvent;
class QWidget;

namespace kestrova {

class FocusRing;
class GameTable;

class BoardKeyboard : public QObject {
    Q_OBJECT
public:
    using PlayCard = std::function<void(int slot)>;
    using Action = std::function<void()>;

    // `window` receives the keys that no control took; `board` holds the
    // controls named card_1 .. card_28 and image_stock.
    BoardKeyboard(QWidget* window, QWidget* board, const GameTable& game, PlayCard playCard, Action turnStock);

    // Escape closes `panel` with `close` while it is the topmost shown one.
    void addPanel(QWidget* panel, Action close);

    // After every redraw of the board: the ring leaves a card that went away
    // or became covered for the next place in reading order.
    void boardChanged();
    void setScale(qreal scale);

    bool ringShown() const;
    // The slot the ring stands on, 1 .. 28, or kStockPlace for the stock.
    int ringPlace() const { return place_; }
    static constexpr int kStockPlace = 29;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPressed(const QKeyEvent& key);
    std::vector<int> stops() const;
    bool isStop(int place) const;
    int nextStopAfter(int place) const;
    QWidget* controlAt(int place) const;
    void step(int direction);
    void showRingAt(int place);
    void markRinged(bool ringed);
    void press();
    bool closeTopPanel();

    QWidget* window_;
    QWidget* board_;
    const GameTable& game_;
    PlayCard playCard_;
    Action turnStock_;
    std::vector<std::pair<QPointer<QWidget>, Action>> panels_;
    FocusRing* ring_;
    int place_ = 0;     // 0 until the ring has stood anywhere
    qreal scale_ = 1.0;
};

} // namespace kestrova
