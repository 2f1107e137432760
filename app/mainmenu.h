// MainMenu: the main window's menu bar and its commands. The options that
// kestrova.ini keeps show the settings store's values as check marks and
// change them there; what a command does is the window's business.
#pragma once

#include <QObject>

class QAction;
class QMainWindow;

namespace kestrova {

class SettingsStore;

class MainMenu : public QObject {
    Q_OBJECT
public:
    // The commands are the window's children, found by their names.
    MainMenu(QMainWindow& window, SettingsStore& settings);

    // Sets the check marks from the settings store, as read from the file.
    void showSettings();

    QAction* StartGame1 = nullptr;
    QAction* SelectDeal1 = nullptr;
    QAction* Hint1 = nullptr;
    QAction* ShowWinnability1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* PlaySounds1 = nullptr;
    QAction* ResetScreenLocation1 = nullptr;
    QAction* ChangeName1 = nullptr;
    QAction* updatecheck = nullptr;
    QAction* TallyList1 = nullptr;
    QAction* ViewHighScoreList1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;
    QAction* FourColourDeck1 = nullptr;
    QAction* ScaleBoardtoWindow1 = nullptr;

private:
    void createActions(QMainWindow& window);
    void bindOptions();
    void createMenus(QMainWindow& window);

    SettingsStore& settings_;
};

} // namespace kestrova
