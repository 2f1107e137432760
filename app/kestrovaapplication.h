// The application object: carries the application title and turns an
// exception that leaves an event handler into an error box, after which the
// program goes on.
#pragma once

#include <QApplication>

namespace kestrova {

class KestrovaApplication : public QApplication {
    Q_OBJECT
public:
    KestrovaApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    static void showError(const QString& message);
};

} // namespace kestrova
