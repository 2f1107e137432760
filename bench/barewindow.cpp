// The floor the game's start-up is measured against: an empty Qt main window
// with a menu bar of four short menus, at the game's default size.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    const char* const menus[][3] = {{"Game", "New", "Exit"},
                                    {"Options", "First option", "Second option"},
                                    {"View", "First list", "Second list"},
                                    {"Help", "Help", "About"}};
    for (const auto& items : menus) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(items[0]));
        menu->addAction(QString::fromLatin1(items[1]));
        menu->addAction(QString::fromLatin1(items[2]));
    }
    window.resize(774, 541);
    window.show();
    return app.exec();
}
