#include "app/mainmenu.h"

#include "app/settings.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

namespace kestrova {

MainMenu::MainMenu(QMainWindow& window, SettingsStore& settings) : QObject(&window), settings_(settings)
{
    setObjectName(QStringLiteral("mainMenu"));
    createActions(window);
    bindOptions();
    createMenus(window);
}

void MainMenu::createActions(QMainWindow& window)
{
    auto makeAction = [&window](const QString& name, const QString& caption, bool checkable = false) {
        auto* action = new QAction(caption, &window);
        action->setObjectName(name);
        action->setCheckable(checkable);
        return action;
    };
    StartGame1 = makeAction(QStringLiteral("StartGame1"), QStringLiteral("Start New Game"));
    StartGame1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SelectDeal1 = makeAction(QStringLiteral("SelectDeal1"), QStringLiteral("Select Deal..."));
    Undo1 = makeAction(QStringLiteral("Undo1"), QStringLiteral("Undo"));
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Hint1 = makeAction(QStringLiteral("Hint1"), QStringLiteral("Hint"));
    Hint1->setShortcut(QKeySequence(Qt::Key_H));
    Exit1 = makeAction(QStringLiteral("Exit1"), QStringLiteral("Exit"));

    PlaySounds1 = makeAction(QStringLiteral("PlaySounds1"), QStringLiteral("Play Sounds"), true);
    ResetScreenLocation1 = makeAction(QStringLiteral("ResetScreenLocation1"), QStringLiteral("Reset Screen Location"));
    ChangeName1 = makeAction(QStringLiteral("ChangeName1"), QStringLiteral("Change  Name"));
    updatecheck = makeAction(QStringLiteral("updatecheck"), QStringLiteral("Automatically Check for Updates"), true);
    // Kept for the run only: the settings file keeps exactly its own keys.
    ShowWinnability1 = makeAction(QStringLiteral("ShowWinnability1"), QStringLiteral("Show Winnability"), true);

    TallyList1 = makeAction(QStringLiteral("TallyList1"), QStringLiteral("Tally List"));
    ViewHighScoreList1 = makeAction(QStringLiteral("ViewHighScoreList1"), QStringLiteral("View High Score List"));

    Help2 = makeAction(QStringLiteral("Help2"), QStringLiteral("Help"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = makeAction(QStringLiteral("About1"), QStringLiteral("About"));

    FourColourDeck1 = makeAction(QStringLiteral("FourColourDeck1"), QStringLiteral("Four-Colour Deck"), true);
    ScaleBoardtoWindow1 = makeAction(QStringLiteral("ScaleBoardtoWindow1"), QStringLiteral("Scale Board to Window"), true);
}

// A check mark changed by the player, or by a caller, changes the setting
// before the command runs.
void MainMenu::bindOptions()
{
    showSettings();
    connect(PlaySounds1, &QAction::toggled, &settings_, &SettingsStore::setSounds);
    connect(updatecheck, &QAction::toggled, &settings_, &SettingsStore::setUpdateCheck);
    connect(FourColourDeck1, &QAction::toggled, &settings_, &SettingsStore::setFourColour);
    connect(ScaleBoardtoWindow1, &QAction::toggled, &settings_, &SettingsStore::setScaleBoard);
}

void MainMenu::showSettings()
{
    const Settings& settings = settings_.current();
    PlaySounds1->setChecked(settings.sounds);
    updatecheck->setChecked(settings.updateCheck);
    FourColourDeck1->setChecked(settings.fourColour);
    ScaleBoardtoWindow1->setChecked(settings.scaleBoard);
}

void MainMenu::createMenus(QMainWindow& window)
{
    QMenuBar* MainMenu1 = window.menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [MainMenu1](const QString& name, const QString& title) {
        QMenu* menu = MainMenu1->addMenu(title);
        menu->setObjectName(name);
        return menu;
    };
    auto addSeparator = [](QMenu* menu, const QString& name) { menu->addSeparator()->setObjectName(name); };

    QMenu* file1 = addMenu(QStringLiteral("file1"), QStringLiteral("Game"));
    file1->addActions({StartGame1, SelectDeal1});
    addSeparator(file1, QStringLiteral("N3"));
    file1->addActions({Undo1, Hint1});
    addSeparator(file1, QStringLiteral("N1"));
    file1->addAction(Exit1);

    QMenu* Options1 = addMenu(QStringLiteral("Options1"), QStringLiteral("Options"));
    Options1->addActions({PlaySounds1, ResetScreenLocation1, ChangeName1, updatecheck, ShowWinnability1,
                          FourColourDeck1, ScaleBoardtoWindow1});

    QMenu* View1 = addMenu(QStringLiteral("View1"), QStringLiteral("View"));
    View1->addActions({TallyList1, ViewHighScoreList1});

    QMenu* Help1 = addMenu(QStringLiteral("Help1"), QStringLiteral("Help"));
    Help1->addAction(Help2);
    addSeparator(Help1, QStringLiteral("N2"));
    Help1->addAction(About1);
}

} // namespace kestrova
