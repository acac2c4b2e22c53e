#include "shell/SingleInstance.h"

#include "platform/ProgramFolder.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace movira {
namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr char kRaise[] = "raise\n";

// In the user's private runtime folder ($XDG_RUNTIME_DIR, else one Qt makes for the user): a
// bare name would lie in the shared temporary folder, where another user could take it first
// and so keep the program from starting.
QString serverNameFor(const QString& name) {
    const QString unique = name + "-" + QString::number(::getuid());
    QString runtime = QString::fromStdString(ProgramFolder::runtimeFolder());
    if (runtime.isEmpty()) runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? unique : runtime + "/" + unique;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), serverName_(serverNameFor(name)) {}

bool SingleInstance::anotherIsRunning(std::function<void()> onRaise) {
    {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(kConnectTimeoutMs)) {
            socket.write(kRaise);
            socket.waitForBytesWritten(kConnectTimeoutMs);
            socket.disconnectFromServer();
            return true;
        }
    }
    // Nobody answers: a name left behind by a copy that crashed is taken over.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) return false;  // run anyway; only the raising is lost
    connect(server_, &QLocalServer::newConnection, this, [this, onRaise = std::move(onRaise)] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            if (onRaise) onRaise();
        }
    });
    return false;
}

}  // namespace movira
