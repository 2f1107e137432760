// TSelButton: a flat caption button with a frame of nested lines, whose face
// and caption change colour under the mouse and while pressed.
#pragma once

#include <QColor>
#include <QWidget>

namespace kestrova {

class TSelButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(QColor ColorBorder READ colorBorder WRITE setColorBorder)
    Q_PROPERTY(QColor ColorOverCaption READ colorOverCaption WRITE setColorOverCaption)
    Q_PROPERTY(QColor ColorOver READ colorOver WRITE setColorOver)
    Q_PROPERTY(QColor ColorDown READ colorDown WRITE setColorDown)
    Q_PROPERTY(Qt::Alignment Alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(int BorderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(bool ShowHint READ showHint WRITE setShowHint)
    Q_PROPERTY(bool ParentShowHint READ parentShowHint WRITE setParentShowHint)
    Q_PROPERTY(QColor FontColor READ fontColor WRITE setFontColor)

public:
    explicit TSelButton(QWidget* parent = nullptr);
    // A button placed on a window starts with its name as its caption.
    TSelButton(const QString& name, QWidget* parent);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    QColor colorBorder() const { return colorBorder_; }
    void setColorBorder(const QColor& color);
    QColor colorOverCaption() const { return colorOverCaption_; }
    void setColorOverCaption(const QColor& color);
    QColor colorOver() const { return colorOver_; }
    void setColorOver(const QColor& color);
    QColor colorDown() const { return colorDown_; }
    void setColorDown(const QColor& color);
    // Left, right or centre (Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter).
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    int borderWidth() const { return borderWidth_; }
    void setBorderWidth(int width);
    // The caption's colour in the normal look; the font itself is the widget's.
    QColor fontColor() const { return fontColor_; }
    void setFontColor(const QColor& color);

    // A number the window gives the button; the help window's section
    // buttons carry the number of the box they show.
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Whether the tool tip shows; with ParentShowHint the parent's "ShowHint"
    // property decides, when it has one.
    bool showHint() const { return showHint_; }
    void setShowHint(bool show);
    bool parentShowHint() const { return parentShowHint_; }
    void setParentShowHint(bool follow);

signals:
    void clicked();
    void mousePressed(Qt::MouseButton button, QPoint position);
    void mouseReleased(Qt::MouseButton button, QPoint position);
    void mouseMoved(QPoint position);
    void mouseEntered();
    void mouseLeft();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class Look { Normal, Over, Down };
    void setLook(Look look);
    // The caption's top-left corner in the given look, for the current font.
    QPoint captionPosition(Look look) const;
    bool hintShown() const;

    QString caption_;
    QColor color_;
    QColor colorBorder_{128, 128, 128};
    QColor colorOverCaption_{Qt::black};
    QColor colorOver_{132, 185, 164};
    QColor colorDown_{132, 185, 164};
    QColor fontColor_{128, 128, 128};
    Qt::Alignment alignment_ = Qt::AlignLeft;
    int borderWidth_ = 1;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    int tag_ = 0;

    Look look_ = Look::Normal;
    QColor captionColor_;   // the caption keeps the colour of the look before a press
    bool pressed_ = false;
};

// The look the help and about windows give their buttons: a dark blue face in
// a white frame, a silver bold caption that turns white under the mouse.
void setWindowButtonLook(TSelButton& button, const QString& caption, Qt::Alignment alignment);

} // namespace kestrova
