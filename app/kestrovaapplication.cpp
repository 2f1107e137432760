#include "app/kestrovaapplication.h"

#include <QMessageBox>

#include <exception>

namespace kestrova {

KestrovaApplication::KestrovaApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Not the display name: that would be appended to every window caption.
    setApplicationName(QStringLiteral("Kestrova"));
    setOrganizationName(QStringLiteral("Vorlin Software"));
}

bool KestrovaApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
    return false;
}

void KestrovaApplication::showError(const QString& message)
{
    QMessageBox::critical(activeWindow(), QStringLiteral("Kestrova"), message);
}

} // namespace kestrova
