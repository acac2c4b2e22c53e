// Keeps the screen on through the desktop's screen-saver service on the user's D-Bus bus
// (org.freedesktop.ScreenSaver): Inhibit/UnInhibit hold and give back the request, and
// SimulateUserActivity starts the idle timer over.
// Any thread may call (the GPS reader per fix, the UI thread at teardown). request() and
// release() wait at most the call timeout; resetIdleTimer() never waits. Without a bus or
// without the service every call fails at once. Qt runs the bus connection on a thread of
// its own, so the calls work even before a QCoreApplication exists.
#pragma once

#include "platform/ScreenKeeper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace movira {

class DBusScreenKeeper final : public ScreenKeeper {
public:
    static constexpr const char* Service = "org.freedesktop.ScreenSaver";
    static constexpr const char* Interface = "org.freedesktop.ScreenSaver";
    // The standard object path first; some desktops serve only the older one.
    static constexpr const char* Paths[2] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
    static constexpr const char* Application = "Movira";
    static constexpr const char* Reason = "Driving: the trip computer keeps the screen on";
    static constexpr std::chrono::milliseconds DefaultTimeout{500};

    // The user's session bus.
    DBusScreenKeeper();
    // Another connection, for example a private bus in the tests; `timeout` bounds each call.
    explicit DBusScreenKeeper(QDBusConnection bus, std::chrono::milliseconds timeout = DefaultTimeout);

    // The service's cookie; empty without a bus, without the service, or when it does not
    // answer in time (a late answer then holds the screen until the connection closes).
    std::optional<uint32_t> request() override;
    // False only when the service did not answer in time: the request may still be held and
    // is given back at the next try. An answered error (a cookie the service no longer knows)
    // and a missing bus or service count as given back: the service drops the requests of a
    // connection that goes away, and its own go with it when it ends.
    bool release(uint32_t handle) override;
    // Sent without waiting for, or asking for, an answer.
    void resetIdleTimer() override;

private:
    // A blocking call, tried on the other object path when the service has no object at the
    // one that answered last.
    QDBusMessage call(const QString& method, const QList<QVariant>& arguments);
    QDBusMessage methodCall(int pathIndex, const QString& method) const;

    const QDBusConnection bus_;
    const int timeoutMs_;
    std::atomic<int> pathIndex_{0};  // into Paths: where the service answered last
};

}  // namespace movira
