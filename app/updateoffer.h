// UpdateOffer: asks the server which version is current and, when it is not
// ours, offers the update on a panel over the board; YES downloads and starts
// the installer.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLabel;

namespace kestrova {

class PictureControl;
class SelfUpdate;
class TFlatPanel;
class THTTPGet;

class UpdateOffer : public QObject {
    Q_OBJECT
public:
    using MessageReporter = std::function<void(const QString& message)>;

    // The panel is made on the board, hidden.
    UpdateOffer(QWidget* board, const QString& programname, MessageReporter showMessage, QObject* parent = nullptr);

    TFlatPanel* panel() const { return panel_update; }
    SelfUpdate& selfUpdate() { return *selfUpdate_; }

    // Asks for the current version; before the window's first frame is on the
    // screen, only once it is.
    void check();
    // The window's first frame has been painted.
    void windowPainted();

    void checkupdateDoneString(THTTPGet* sender, const QString& result);
    void button_updateyesClick();
    void button_updatecancelClick();
    void downloadit();

private:
    QString programname_;
    MessageReporter showMessage_;
    TFlatPanel* panel_update = nullptr;
    PictureControl* button_updateyes = nullptr;
    PictureControl* button_updatecancel = nullptr;
    QLabel* label_update = nullptr;
    THTTPGet* checkupdate = nullptr;
    SelfUpdate* selfUpdate_ = nullptr;
    bool painted_ = false;
    bool checkWaits_ = false;   // asked for before the first paint
};

} // namespace kestrova
