#include "ui/htmlview.h"

#include "ui/htmlreducer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QUrl>

namespace kestrova {

namespace {

// A string literal of the style sheet language.
QString cssString(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    quoted.replace(u'\n', QLatin1String("\\a ")).replace(u'\r', QLatin1String("\\d "));
    return u'"' + quoted + u'"';
}

} // namespace

THtmlView::THtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    connect(this, &QTextBrowser::anchorClicked, this, &THtmlView::linkActivated);
    applyLook();
}

void THtmlView::LoadFromString(const QString& html)
{
    html_ = QString::fromUtf8(html::reducePage(html.toUtf8().toStdString()));
    setHtml(html_);
}

void THtmlView::setDefBackground(const QColor& color)
{
    background_ = color;
    applyLook();
}

void THtmlView::setDefFontName(const QString& name)
{
    fontName_ = name;
    applyLook();
}

void THtmlView::setDefPreFontName(const QString& name)
{
    preFontName_ = name;
    applyLook();
}

void THtmlView::setDefFontColor(const QColor& color)
{
    fontColor_ = color;
    applyLook();
}

void THtmlView::setDefHotSpotColor(const QColor& color)
{
    hotSpotColor_ = color;
    applyLook();
}

void THtmlView::setDefVisitedLinkColor(const QColor& color)
{
    visitedLinkColor_ = color;
    applyLook();
}

// The defaults reach the document as its default style sheet, so a page's
// own colours and fonts still win over them. The sheet is read when a text
// is parsed, so the shown text is parsed again, at the same scroll position.
void THtmlView::applyLook()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, background_);
    palette.setColor(QPalette::Text, fontColor_);
    setPalette(palette);
    showBorder(hasFocus());

    QFont font(fontName_);
    font.setPointSize(12);
    document()->setDefaultFont(font);

    QString sheet = QStringLiteral("body { color: %1; background-color: %2; font-family: %3; }\n"
                                   "a { color: %4; }\n"
                                   "pre, code, tt, kbd, samp { font-family: %5; }\n")
                        .arg(fontColor_.name(), background_.name(), cssString(fontName_), hotSpotColor_.name(),
                             cssString(preFontName_));
    for (const QString& target : visited_)
        sheet += QStringLiteral("a[href=%1] { color: %2; }\n").arg(cssString(target), visitedLinkColor_.name());
    document()->setDefaultStyleSheet(sheet);

    if (!html_.isEmpty()) {
        const int scrolled = verticalScrollBar()->value();
        setHtml(html_);
        verticalScrollBar()->setValue(scrolled);
    }
}

// Only the page's own text is shown: every picture or style sheet it names
// comes back empty, except the data: addresses that carry their content in
// the page. The answer must not be null: on a null answer the document, and
// for pictures the layout too, fall back to reading the name as a local file.
QVariant THtmlView::loadResource(int type, const QUrl& name)
{
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return QVariant();
    if (type == QTextDocument::ImageResource) {
        QImage nothing(1, 1, QImage::Format_ARGB32);
        nothing.fill(Qt::transparent);
        return nothing;
    }
    return QByteArray("");
}

// The browser hands anchorClicked a QUrl, which may rewrite the text; the
// target is taken from the document as written instead.
void THtmlView::mouseReleaseEvent(QMouseEvent* event)
{
    activatedTarget_ = anchorAt(event->position().toPoint());
    QTextBrowser::mouseReleaseEvent(event);
    activatedTarget_.clear();
}

void THtmlView::keyPressEvent(QKeyEvent* event)
{
    activatedTarget_ = keyboardAnchor();
    QTextBrowser::keyPressEvent(event);
    activatedTarget_.clear();
}

// The link that keyboard navigation has selected, if any.
QString THtmlView::keyboardAnchor() const
{
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return QString();
    cursor.setPosition(cursor.selectionStart() + 1);
    return cursor.charFormat().anchorHref();
}

void THtmlView::linkActivated(const QUrl& link)
{
    const QString target = activatedTarget_.isEmpty() ? link.toString() : activatedTarget_;
    if (!visited_.contains(target)) {
        visited_.insert(target);
        applyLook();
    }
    emit OnHotSpotClick(target);
}

void THtmlView::focusInEvent(QFocusEvent* event)
{
    QTextBrowser::focusInEvent(event);
    showBorder(true);
}

void THtmlView::focusOutEvent(QFocusEvent* event)
{
    QTextBrowser::focusOutEvent(event);
    showBorder(false);
}

// A plain frame is drawn in the window text colour.
void THtmlView::showBorder(bool focused)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, focused ? focusBorderColor() : background_);
    setPalette(palette);
}

} // namespace kestrova
