#pragma once

#include <QObject>

class QSocketNotifier;

namespace pelimo::platform {

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread (the self-pipe of
// catchTerminationSignals), so a logout or Ctrl+C runs the program's orderly shutdown. A signal
// that came before this object was made is heard as soon as the event loop runs. One per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

Q_SIGNALS:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* notifier = nullptr;
};

} // namespace pelimo::platform
