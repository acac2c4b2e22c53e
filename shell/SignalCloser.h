// Turns SIGTERM, SIGINT and SIGHUP into a call on the UI thread, so that the program
// closes the normal way (tracks written, settings saved). One per process.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace movira {

class SignalCloser final : public QObject {
public:
    explicit SignalCloser(std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalCloser() override;
    // False when the signals could not be caught (they then end the program at once).
    bool isActive() const { return notifier_ != nullptr; }

private:
    void onReadable();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;  // child of this object
};

}  // namespace movira
