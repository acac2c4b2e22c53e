// A stand-in for the desktop's screen-saver service on a test bus: records the calls it
// gets. Its slots run on the main thread while the test processes events.
#pragma once

#include <QDBusContext>
#include <QDBusError>
#include <QObject>
#include <QString>

#include <set>
#include <vector>

namespace movira {

class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    bool silent = false;  // takes calls but never answers them
    std::vector<QString> applications;
    std::vector<QString> reasons;
    std::vector<uint> uninhibited;
    std::set<uint> held;
    int activity = 0;

public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        if (silent) {
            setDelayedReply(true);
            return 0;
        }
        applications.push_back(application);
        reasons.push_back(reason);
        held.insert(next_);
        return next_++;
    }
    void UnInhibit(uint cookie) {
        if (silent) {
            setDelayedReply(true);
            return;
        }
        uninhibited.push_back(cookie);
        if (held.erase(cookie) == 0) sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such cookie"));
    }
    void SimulateUserActivity() {
        if (silent) setDelayedReply(true);
        ++activity;
    }

private:
    uint next_ = 7;
};

}  // namespace movira
