#include "ui/helpform.h"

#include "ui/flatpanel.h"
#include "ui/helptexts.h"
#include "ui/selbutton.h"
#include "ui/textlabels.h"

#include <QDate>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

namespace kestrova {

namespace {

constexpr int kSideWidth = 137;
constexpr int kCaptionHeight = 20;

struct SectionButton {
    const char* name;
    HelpSection section;
    const char* caption;
};

constexpr SectionButton kSectionButtons[] = {
    {"SelButton1", HelpSection::Overview, "Overview"},
    {"SelButton3", HelpSection::GamePlay, "Game Play"},
    {"SelButton4", HelpSection::Scoring, "Scoring"},
    {"SelButton5", HelpSection::History, "Documentation"},
    {"SelButton6", HelpSection::License, "License"},
};

TFlatPanel* makeSectionPanel(QWidget* parent, const QString& name)
{
    auto* panel = new TFlatPanel(parent);
    panel->setObjectName(name);
    panel->setTransparent(true);
    panel->setFrameColor(Qt::black);
    return panel;
}

// Headings are the lines that end in a letter or digit: the section's title,
// the titles within it and the release lines of the history. Sentences and
// list items end in punctuation.
void emboldenHeadings(QTextDocument* document)
{
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text().trimmed();
        if (line.isEmpty() || line.startsWith(u'-') || !line.back().isLetterOrNumber())
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(bold);
    }
}

} // namespace

Thelp::Thelp(const QPixmap& backgroundPicture, QWidget* parent)
    : TiledWindow(QStringLiteral("help"), QStringLiteral("Kestrova - Help File"), QSize(523, 431),
                  backgroundPicture, parent)
{
    createSidePanel();
    createMainPanel();
    layoutPanels();
    FormCreate();
}

void Thelp::createSidePanel()
{
    panel_side = makeSectionPanel(this, QStringLiteral("panel_side"));
    int top = 7;
    for (const SectionButton& entry : kSectionButtons) {
        auto* button = new TSelButton(QString::fromLatin1(entry.name), panel_side);
        setWindowButtonLook(*button, QString::fromLatin1(entry.caption), Qt::AlignLeft);
        button->setGeometry(7, top, 122, 20);
        button->setTag(static_cast<int>(entry.section));
        connect(button, &TSelButton::clicked, this, [this, button] { SelButton1Click(button); });
        top += 24;
    }
    auto* about = new TSelButton(QStringLiteral("button_about"), panel_side);
    setWindowButtonLook(*about, QStringLiteral("About"), Qt::AlignLeft);
    about->setGeometry(7, top, 122, 20);
    about->setTag(10);
    connect(about, &TSelButton::clicked, this, &Thelp::button_aboutClick);

    const QFont creditFont = houseFont(11);
    makeLabel(panel_side, QStringLiteral("Label1"), {18, 332}, creditFont, Qt::white, QStringLiteral("Created by:"));
    makeLabel(panel_side, QStringLiteral("Label2"), {18, 346}, creditFont, Qt::white, QStringLiteral("Vorlin Software"));
    QLabel* years = makeLabel(panel_side, QStringLiteral("Label3"), {18, 360}, creditFont, Qt::white,
                              QStringLiteral("2003 -"));
    label_year = makeLabel(panel_side, QStringLiteral("label_year"), {years->geometry().right() + 4, 360},
                           creditFont, Qt::white);
    makeLabel(panel_side, QStringLiteral("Label4"), {18, 374}, creditFont, Qt::white,
              QStringLiteral("All Rights Reserved."));

    auto* done = new TSelButton(QStringLiteral("button_done"), panel_side);
    setWindowButtonLook(*done, QStringLiteral("Done"), Qt::AlignHCenter);
    done->setGeometry(18, 404, 95, 20);
    connect(done, &TSelButton::clicked, this, &Thelp::button_doneClick);
}

void Thelp::createMainPanel()
{
    panel_main = makeSectionPanel(this, QStringLiteral("panel_main"));
    label_caption = makeLabel(panel_main, QStringLiteral("label_caption"), {0, 0}, houseFont(16, true), Qt::white,
                              QStringLiteral("Overview"));
    label_caption->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // Each section's box is made when the section is first chosen (showMemo).
}

QTextEdit* Thelp::makeMemo(int tag)
{
    auto* memo = new QTextEdit(panel_main);
    memo->setObjectName(QStringLiteral("memo%1").arg(tag));
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The boxes are read, not typed into: a click may select, Tab passes them by.
    memo->setFocusPolicy(Qt::ClickFocus);
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    memo->setFont(font);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    memo->setPalette(palette);
    memo->document()->setDocumentMargin(5);
    memo->setGeometry(textArea());
    memo->setPlainText(helpSectionText(static_cast<HelpSection>(tag)));
    emboldenHeadings(memo->document());
    return memo;
}

void Thelp::FormCreate()
{
    showMemo(static_cast<int>(HelpSection::Overview));
    setAutoSizedText(label_year, QString::number(QDate::currentDate().year()));
}

void Thelp::resizeEvent(QResizeEvent* event)
{
    TiledWindow::resizeEvent(event);
    layoutPanels();
}

void Thelp::layoutPanels()
{
    // Side panel down the left over the full height, the text panel in the rest.
    panel_side->setGeometry(0, 0, kSideWidth, height());
    panel_main->setGeometry(kSideWidth, 0, std::max(0, width() - kSideWidth), height());
    label_caption->setGeometry(0, 0, panel_main->width(), kCaptionHeight);
    for (QTextEdit* memo : panel_main->findChildren<QTextEdit*>(Qt::FindDirectChildrenOnly))
        memo->setGeometry(textArea());
}

// The boxes stop one pixel short of the panel's edges, so its frame shows.
QRect Thelp::textArea() const
{
    return {1, kCaptionHeight, panel_main->width() - 2, panel_main->height() - kCaptionHeight - 1};
}

void Thelp::SelButton1Click(TSelButton* sender)
{
    showMemo(sender->tag());
    label_caption->setText(sender->caption());
}

// One box on top and the others hidden rather than merely covered: a covered
// box would still be laid out and painted beneath it at every opening.
void Thelp::showMemo(int tag)
{
    const bool known = std::ranges::any_of(kHelpSections, [tag](HelpSection s) { return static_cast<int>(s) == tag; });
    if (!known)
        return;
    auto* chosen = findChild<QTextEdit*>(QStringLiteral("memo%1").arg(tag));
    if (!chosen)
        chosen = makeMemo(tag);
    chosen->show();
    chosen->raise();
    for (QTextEdit* memo : panel_main->findChildren<QTextEdit*>(Qt::FindDirectChildrenOnly))
        if (memo != chosen)
            memo->hide();
}

void Thelp::button_aboutClick()
{
    QWidget* about = about_ ? about_() : nullptr;
    if (!about)
        return;
    about->show();
    about->raise();
    about->activateWindow();
}

void Thelp::button_doneClick()
{
    hide();
}

} // namespace kestrova
