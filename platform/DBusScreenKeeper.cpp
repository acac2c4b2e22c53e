#include "platform/DBusScreenKeeper.h"

#include <QDBusError>
#include <QMetaType>

#include <algorithm>

namespace movira {
namespace {

// The service answered that nothing serves this call at that path.
bool isMissingObject(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface");
}

// No answer came: whatever the service did with the call is unknown.
bool isUnanswered(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

}  // namespace

DBusScreenKeeper::DBusScreenKeeper() : DBusScreenKeeper(QDBusConnection::sessionBus()) {}

DBusScreenKeeper::DBusScreenKeeper(QDBusConnection bus, std::chrono::milliseconds timeout)
    : bus_(std::move(bus)),
      timeoutMs_(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, 60'000))) {}

std::optional<uint32_t> DBusScreenKeeper::request() {
    if (!bus_.isConnected()) return std::nullopt;
    const QDBusMessage reply = call(QStringLiteral("Inhibit"), {QString::fromLatin1(Application), QString::fromUtf8(Reason)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return std::nullopt;
    const QVariant& cookie = reply.arguments().front();
    if (cookie.metaType() != QMetaType::fromType<uint>()) return std::nullopt;
    return cookie.toUInt();
}

bool DBusScreenKeeper::release(uint32_t handle) {
    // Requests are tied to our connection: without it nothing is held.
    if (!bus_.isConnected()) return true;
    const QDBusMessage reply = call(QStringLiteral("UnInhibit"), {QVariant::fromValue<uint>(handle)});
    return !isUnanswered(reply);
}

void DBusScreenKeeper::resetIdleTimer() {
    if (!bus_.isConnected()) return;
    // send() marks the call as wanting no reply and only queues it for the connection thread.
    bus_.send(methodCall(pathIndex_.load(std::memory_order_relaxed), QStringLiteral("SimulateUserActivity")));
}

QDBusMessage DBusScreenKeeper::methodCall(int pathIndex, const QString& method) const {
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromLatin1(Paths[pathIndex]),
                                                          QString::fromLatin1(Interface), method);
    // The service belongs to the running desktop; starting one would only make the call wait.
    message.setAutoStartService(false);
    return message;
}

QDBusMessage DBusScreenKeeper::call(const QString& method, const QList<QVariant>& arguments) {
    const int first = pathIndex_.load(std::memory_order_relaxed);
    QDBusMessage reply;
    for (int step = 0; step < 2; ++step) {
        const int index = (first + step) % 2;
        QDBusMessage message = methodCall(index, method);
        message.setArguments(arguments);
        reply = bus_.call(message, QDBus::Block, timeoutMs_);
        if (!isMissingObject(reply)) {
            if (reply.type() == QDBusMessage::ReplyMessage) pathIndex_.store(index, std::memory_order_relaxed);
            break;
        }
    }
    return reply;
}

}  // namespace movira
