// Thelp: the help window. Buttons down its left side choose one of five text
// sections; the caption strip above the text names the chosen button.
#pragma once

#include "ui/tiledwindow.h"

#include <functional>

class QLabel;
class QTextEdit;

namespace kestrova {

class TFlatPanel;
class TSelButton;

class Thelp : public TiledWindow {
    Q_OBJECT
public:
    explicit Thelp(const QPixmap& backgroundPicture, QWidget* parent = nullptr);

    // The window that "About" shows; made after this one.
    void setAboutWindow(QWidget* about)
    {
        setAboutWindow([about] { return about; });
    }
    // The same, asked for when "About" is first pressed.
    void setAboutWindow(std::function<QWidget*()> about) { about_ = std::move(about); }

    // The one handler of all five section buttons.
    void SelButton1Click(TSelButton* sender);
    void button_aboutClick();
    void button_doneClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void createSidePanel();
    void createMainPanel();
    // The box of section `tag`, with its text, over the text area.
    QTextEdit* makeMemo(int tag);
    void layoutPanels();
    QRect textArea() const;
    void showMemo(int tag);

    TFlatPanel* panel_side = nullptr;
    TFlatPanel* panel_main = nullptr;
    QLabel* label_caption = nullptr;
    QLabel* label_year = nullptr;
    std::function<QWidget*()> about_;
};

} // namespace kestrova
