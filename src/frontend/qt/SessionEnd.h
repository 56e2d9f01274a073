// Requests to end the Monitor that come from outside: SIGTERM, SIGINT and SIGHUP, and the
// desktop session ending. They arrive through the event loop, never inside a signal handler.
#pragma once

#include <QObject>

class QSocketNotifier;

class CSessionEnd : public QObject {
    Q_OBJECT
public:
    // Installs the signal handlers; only one object may exist at a time.
    explicit CSessionEnd(QObject* parent = nullptr);
    ~CSessionEnd() override;

    // Whether a request has arrived (also before anyone was connected).
    bool Requested() const { return m_bRequested; }

signals:
    void endRequested();

private:
    void OnSignalPipe();
    void Request();

    QSocketNotifier* m_pNotifier = nullptr;
    bool m_bRequested = false;
};
