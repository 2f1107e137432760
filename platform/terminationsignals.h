// SIGTERM, SIGINT and SIGHUP delivered as a Qt signal on the thread that owns the object,
// so the main window can close the ordinary way (and save) when the session ends.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrova {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; only one instance may exist at a time (a second one throws
    // std::logic_error). Throws std::runtime_error when the pipe or a handler cannot be
    // set up. The destructor puts the previous handlers back.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signo);

private:
    void readPending();

    int readFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kestrova
