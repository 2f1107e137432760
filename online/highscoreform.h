// Thighscore: the online high-score list. It fetches the list page from the
// score server and shows it, hands the page's web and mail links to the
// browser, and sends the main window's score posts.
#pragma once

#include "ui/tiledwindow.h"

class QLabel;

namespace kestrova {

class PictureControl;
class TFlatPanel;
class THTTPGet;
class THtmlView;
class TURL;

class Thighscore : public TiledWindow {
    Q_OBJECT
public:
    // `programname` names the score script.
    Thighscore(const QPixmap& backgroundPicture, const QString& programname, QWidget* parent = nullptr);

    // Starts fetching the list; ignored while a fetch of it still runs. Asked
    // for while the window is on its way to the screen, the fetch waits for
    // the window's first paint, so that starting the transfer program never
    // holds up the window's opening.
    void loadit();
    // Posts a score; each value goes into the query percent-encoded, the name
    // cut to kMaxNameBytes first. A post still pending is dropped for it, so
    // that one stalled post can't keep the next from being sent.
    void sendscore(const QString& name, const QString& date, const QString& score);

    void button_doneClick();
    void getitDoneString(THTTPGet* sender, const QString& result);
    void senditDoneString(THTTPGet* sender, const QString& result);
    void senditError(THTTPGet* sender);
    // Only http:, https: and mailto: links are opened; a page from the
    // network must not start programs or open files on this computer.
    void displayhtmlHotSpotClick(const QString& src);

    // The address of the list page and of a score post.
    QString listURL() const;
    QString scorePostURL(const QString& name, const QString& date, const QString& score) const;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

signals:
    // The server took a score post. The main window closes its cleared panel
    // and stops its wait; this window then fetches the list and shows itself.
    void scorePosted();
    // The post ended without the server taking it: no answer within the
    // time-outs, a broken connection, or a refusal (a status of 400 or more).
    void scorePostFailed();

private:
    void startPendingFetch();
    void makeSendit();

    QString programname_;
    bool awaitingPaint_ = false;   // shown, not yet painted
    bool fetchPending_ = false;    // loadit() waits for that paint
    PictureControl* button_done = nullptr;
    PictureControl* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TFlatPanel* panel_main = nullptr;
    THtmlView* displayhtml = nullptr;
    TURL* URL1 = nullptr;
    THTTPGet* getit = nullptr;
    THTTPGet* sendit = nullptr;
};

} // namespace kestrova
