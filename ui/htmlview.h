// THtmlView: shows an HTML text handed over as a string, in the high-score
// list's look, and reports a clicked link with its target as the page wrote
// it. It loads nothing from outside the program: no page, picture or style
// sheet comes from the network or the disk, whatever the page refers to, and
// no page can hold the UI thread: what it lays out is first cut down to the
// bounded subset of html::reducePage (text, tables, fonts, colours, links).
#pragma once

#include <QColor>
#include <QSet>
#include <QString>
#include <QTextBrowser>

namespace kestrova {

class THtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit THtmlView(QWidget* parent = nullptr);

    // Replaces the shown document; the text has no address, so relative
    // references lead nowhere. Elements outside the list's needs, and those
    // nested or repeated beyond the bounds, are left out (see htmlreducer.h).
    void LoadFromString(const QString& html);

    // What a page gets when it sets nothing of its own.
    QColor DefBackground() const { return background_; }
    void setDefBackground(const QColor& color);
    QString DefFontName() const { return fontName_; }
    void setDefFontName(const QString& name);
    QString DefPreFontName() const { return preFontName_; }
    void setDefPreFontName(const QString& name);
    QColor DefFontColor() const { return fontColor_; }
    void setDefFontColor(const QColor& color);
    QColor DefHotSpotColor() const { return hotSpotColor_; }
    void setDefHotSpotColor(const QColor& color);
    QColor DefVisitedLinkColor() const { return visitedLinkColor_; }
    void setDefVisitedLinkColor(const QColor& color);

    // Targets clicked so far; their links show in the visited colour.
    bool isVisited(const QString& target) const { return visited_.contains(target); }

    // The colour of the one-pixel border while the view has the focus; it is
    // not drawn otherwise.
    static QColor focusBorderColor() { return Qt::white; }

signals:
    // A link was clicked (or chosen from the keyboard); `target` is its href
    // exactly as the page wrote it.
    void OnHotSpotClick(const QString& target);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void linkActivated(const QUrl& link);
    QString keyboardAnchor() const;
    void applyLook();
    void showBorder(bool focused);

    QString html_;
    QSet<QString> visited_;
    QString activatedTarget_;

    QColor background_{64, 36, 174};
    QString fontName_ = QStringLiteral("Times New Roman");
    QString preFontName_ = QStringLiteral("Arial");
    QColor fontColor_{Qt::white};
    QColor hotSpotColor_{Qt::red};
    QColor visitedLinkColor_{192, 192, 192};
};

} // namespace kestrova
