#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace workbench {

// Ends the workbench on SIGTERM, SIGHUP or SIGINT (a logout, a `kill`,
// Ctrl+C in its terminal) without losing what was typed. The handler only
// notes the signal and wakes the main thread, which runs `flush` (writing
// every modified document's recovery copy) and then ends the process by
// that same signal, so that its exit status says which. Should the main
// thread not get to it within a few seconds (it runs an add-in's code), or
// a second such signal arrive, the handler writes what the crash handler
// would and ends the process at once. One per process.
class EndSignals : public QObject {
    Q_OBJECT

public:
    explicit EndSignals(std::function<void()> flush, QObject* parent = nullptr);
    // The signals end the process at once again.
    ~EndSignals() override;

private:
    void Woken();

    std::function<void()> flush_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace workbench
