#pragma once

#include <QObject>

class QSocketNotifier;

namespace pelimo::platform {

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread (a self-pipe the handler writes
// one byte to), so a logout or Ctrl+C runs the program's orderly shutdown. One per process.
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

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace pelimo::platform
