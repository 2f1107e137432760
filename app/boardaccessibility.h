// The board for assistive technology: each card, the stock and the discard
// named after what they show ("Seven of hearts", "Face-down card", "Stock, 12
// cards", "Discard, seven of hearts"), the score and the cards left announced
// when they change, and each overlay panel announced when it is shown.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QLabel;
class QWidget;

namespace kestrova {

class GameTable;

class BoardAccessibility : public QObject {
    Q_OBJECT
public:
    // `board` holds card_1 .. card_28, image_stock, image_discard,
    // label_score and label_cardsleft.
    BoardAccessibility(QWidget* board, const GameTable& game);

    // Announces `panel` under the text of `title` (and `detail`, when given)
    // each time it is shown.
    void addPanel(QWidget* panel, const QLabel* title, const QLabel* detail = nullptr);

    // After every redraw of the board.
    void boardChanged();

    static QString stockName(const GameTable& game);
    static QString discardName(const GameTable& game);
    // What slot `slot` shows: its card's name face up, "Face-down card" face
    // down, nothing once played away.
    static QString slotName(const GameTable& game, int slot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Panel {
        QPointer<QWidget> panel;
        QPointer<const QLabel> title;
        QPointer<const QLabel> detail;
    };
    void announceIfChanged(QLabel* label, QString& lastText);

    QWidget* board_;
    const GameTable& game_;
    std::vector<Panel> panels_;
    QString announcedScore_;
    QString announcedCardsLeft_;
};

} // namespace kestrova
