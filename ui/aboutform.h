// Tabout: the about window with the title picture, the maker's web address as
// a link, the credits and the program's version.
#pragma once

#include "ui/tiledwindow.h"

class QLabel;

namespace kestrova {

class TURL;

class Tabout : public TiledWindow {
    Q_OBJECT
public:
    // `serverHost` is the maker's web server; the link opens "http://" + host.
    Tabout(const QPixmap& backgroundPicture, const QString& serverHost, QWidget* parent = nullptr);

    // The link component; the main window's logo opens the same address.
    TURL* URL1() const { return URL1_; }
    // The version the window shows: the program's, kVersion.
    QString version() const;

    void Label7Click();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    TURL* URL1_;
    QLabel* Label7 = nullptr;
    QLabel* label_year = nullptr;
    QLabel* version_ = nullptr;
    bool label7Pressed_ = false;
};

} // namespace kestrova
