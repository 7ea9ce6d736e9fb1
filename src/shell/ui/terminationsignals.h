#pragma once

#include <QObject>

class QSocketNotifier;

namespace qen {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in a terminal, a closed terminal) into a
// signal delivered on the event loop, so that ending the program that way takes the same road
// as Exit.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace qen
