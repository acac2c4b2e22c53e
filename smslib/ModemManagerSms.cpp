#include "smslib/ModemManagerSms.h"

#include "smslib/GObjectPtr.h"
#include "smslib/MainContextScope.h"
#include "smslib/SendDeadline.h"

#include <libmm-glib.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace movira {

namespace {

// Modems are numbered in their object paths (".../Modem/3"): the lowest number comes first.
bool pathBefore(const char* a, const char* b) {
    const size_t lengthA = std::strlen(a);
    const size_t lengthB = std::strlen(b);
    return lengthA != lengthB ? lengthA < lengthB : std::strcmp(a, b) < 0;
}

// A connection of this send's own, also to the system bus, so that closing it ends everything
// the send started and nothing is shared with other users of GLib in the process.
GObjectPtr<GDBusConnection> connect(const std::string& busAddress, GCancellable* cancellable) {
    gchar* systemAddress = nullptr;
    const char* address = busAddress.c_str();
    if (busAddress.empty()) {
        systemAddress = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, cancellable, nullptr);
        if (!systemAddress) return nullptr;
        address = systemAddress;
    }
    const auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                         G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GObjectPtr<GDBusConnection> connection(
        g_dbus_connection_new_for_address_sync(address, flags, nullptr, cancellable, nullptr));
    g_free(systemAddress);
    return connection;
}

GObjectPtr<MMModemMessaging> firstMessagingModem(MMManager* manager) {
    GList* objects = g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(manager));
    MMObject* first = nullptr;
    for (GList* item = objects; item; item = item->next) {
        MMObject* object = MM_OBJECT(item->data);
        if (!mm_object_peek_modem_messaging(object)) continue;
        if (!first || pathBefore(mm_object_get_path(object), mm_object_get_path(first))) first = object;
    }
    GObjectPtr<MMModemMessaging> messaging(first ? mm_object_get_modem_messaging(first) : nullptr);
    g_list_free_full(objects, g_object_unref);
    return messaging;
}

// Takes the message off the modem's list, with a time of its own: the send's may be used up.
void deleteMessage(MMModemMessaging* messaging, MMSms* sms) {
    const SendDeadline deadline(ModemManagerSms::kDeleteLimit);
    g_dbus_proxy_set_default_timeout(G_DBUS_PROXY(messaging), deadline.millisecondsLeft());
    mm_modem_messaging_delete_sync(messaging, mm_sms_get_path(sms), deadline.cancellable(), nullptr);
}

bool createAndSend(MMModemMessaging* messaging, const char* number, const char* text,
                   const SendDeadline& deadline) {
    GObjectPtr<MMSmsProperties> properties(mm_sms_properties_new());
    mm_sms_properties_set_number(properties.get(), number);
    mm_sms_properties_set_text(properties.get(), text);
    mm_sms_properties_set_class(properties.get(), ModemManagerSms::kMessageClass);

    // The cancellable ends every call at the deadline; the time-outs are a second guard.
    g_dbus_proxy_set_default_timeout(G_DBUS_PROXY(messaging), deadline.millisecondsLeft());
    GObjectPtr<MMSms> sms(
        mm_modem_messaging_create_sync(messaging, properties.get(), deadline.cancellable(), nullptr));
    if (!sms) return false;
    g_dbus_proxy_set_default_timeout(G_DBUS_PROXY(sms.get()), deadline.millisecondsLeft());
    const bool accepted = mm_sms_send_sync(sms.get(), deadline.cancellable(), nullptr);
    // The modem keeps a created message in its list: sent, of no more use; not sent (refused, or
    // no answer in time), never to be sent later behind the user's back.
    deleteMessage(messaging, sms.get());
    return accepted;
}

}  // namespace

ModemManagerSms::ModemManagerSms(std::string busAddress, std::chrono::milliseconds timeLimit)
    : busAddress_(std::move(busAddress)), timeLimit_(timeLimit) {}

ModemManagerSms ModemManagerSms::fromEnvironment() {
    const char* address = std::getenv(kBusAddressVariable);
    auto limit = kTimeLimit;
    if (const char* milliseconds = std::getenv(kTimeLimitVariable)) {
        const long value = std::strtol(milliseconds, nullptr, 10);
        if (value > 0) limit = std::chrono::milliseconds(value);
    }
    return ModemManagerSms(address ? address : "", limit);
}

bool ModemManagerSms::send(const char* number, const char* text, GCancellable* abandon) const {
    if (!number || !text) return false;
    // D-Bus carries only UTF-8; anything else would be changed on the way, so it is not sent.
    if (!g_utf8_validate(number, -1, nullptr) || !g_utf8_validate(text, -1, nullptr)) return false;

    const MainContextScope context;  // outlives every object below
    const SendDeadline deadline(timeLimit_, abandon);
    GObjectPtr<GDBusConnection> connection = connect(busAddress_, deadline.cancellable());
    if (!connection) return false;
    bool accepted = false;
    {
        GObjectPtr<MMManager> manager(mm_manager_new_sync(
            connection.get(), G_DBUS_OBJECT_MANAGER_CLIENT_FLAGS_DO_NOT_AUTO_START, deadline.cancellable(),
            nullptr));
        if (manager) {
            GObjectPtr<MMModemMessaging> messaging = firstMessagingModem(manager.get());
            if (messaging) accepted = createAndSend(messaging.get(), number, text, deadline);
        }
    }
    // Closing a local socket does not wait for the peer.
    g_dbus_connection_close_sync(connection.get(), nullptr, nullptr);
    return accepted;
}

}  // namespace movira
