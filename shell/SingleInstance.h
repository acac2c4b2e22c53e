// One running copy per user: the first start listens on a local socket named after the
// window title; a later start connects, asks the running copy to come to the front, and
// ends. UI thread.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace movira {

class SingleInstance final : public QObject {
public:
    // `name` is made unique per user.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);

    // True when another copy runs: it has been asked to come to the front, and this
    // process should end. Otherwise this copy now listens, and `onRaise` runs on each
    // later start.
    bool anotherIsRunning(std::function<void()> onRaise);

private:
    QString serverName_;
    QLocalServer* server_ = nullptr;  // child of this object
};

}  // namespace movira
