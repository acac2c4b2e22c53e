#include "platform/DBusScreenKeeper.h"

#include "tests/platform/FakeScreenSaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto CallTimeout = 300ms;
// Far beyond any call timeout: reaching it means a call hung.
constexpr auto HangLimit = 10s;

// A bus that loads no service files, so that a missing service is never started.
constexpr char BusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Processes the main thread's events (where the fake service answers) until `done`.
// False when that took longer than any call may.
bool processEventsUntil(const std::function<bool()>& done) {
    const auto limit = Clock::now() + HangLimit;
    while (!done()) {
        if (Clock::now() > limit) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs `call` on a thread of its own, as the GPS reader does, while the service answers here.
template <typename Call>
auto offMainThread(Call call) {
    std::optional<decltype(call())> result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result.emplace(call());
        done.store(true);
    });
    EXPECT_TRUE(processEventsUntil([&] { return done.load(); })) << "the call hung";
    worker.join();
    return *result;
}

// A private bus daemon, a connection for the fake service and one for the keeper.
class DBusScreenKeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus): no bus to test on";
        ASSERT_TRUE(folder_.isValid());
        const QString config = folder_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(BusConfig);
        file.close();

        daemon_.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"),
                               QStringLiteral("--nofork")});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon did not start";
        while (!daemon_.canReadLine()) ASSERT_TRUE(daemon_.waitForReadyRead(5000)) << "dbus-daemon printed no address";
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());

        static int counter = 0;
        ++counter;
        serviceName_ = QStringLiteral("service-%1").arg(counter);
        clientName_ = QStringLiteral("client-%1").arg(counter);
        service_.emplace(QDBusConnection::connectToBus(address_, serviceName_));
        ASSERT_TRUE(service_->isConnected()) << service_->lastError().message().toStdString();
        keeper_.emplace(connectClient(), CallTimeout);
    }

    void TearDown() override {
        keeper_.reset();
        if (service_) {
            service_.reset();
            QDBusConnection::disconnectFromBus(serviceName_);
            QDBusConnection::disconnectFromBus(clientName_);
        }
        stopDaemon();
    }

    QDBusConnection connectClient() const {
        QDBusConnection client = QDBusConnection::connectToBus(address_, clientName_);
        EXPECT_TRUE(client.isConnected());
        return client;
    }

    // The fake service: its object at `path`, owning the service name.
    void serve(const char* path = DBusScreenKeeper::Paths[0]) {
        ASSERT_TRUE(service_->registerObject(QString::fromLatin1(path), &fake_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service_->registerService(QString::fromLatin1(DBusScreenKeeper::Service)));
    }

    void stopDaemon() {
        if (daemon_.state() == QProcess::NotRunning) return;
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }

    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
    QString serviceName_;
    QString clientName_;
    std::optional<QDBusConnection> service_;
    FakeScreenSaver fake_;
    std::optional<DBusScreenKeeper> keeper_;
};

TEST_F(DBusScreenKeeperTest, RequestHoldsTheScreenUntilReleased) {
    serve();
    const std::optional<uint32_t> cookie = offMainThread([&] { return keeper_->request(); });
    ASSERT_TRUE(cookie.has_value());
    ASSERT_EQ(fake_.applications.size(), 1u);
    EXPECT_EQ(fake_.applications[0], QStringLiteral("Movira"));
    EXPECT_FALSE(fake_.reasons[0].isEmpty());
    EXPECT_EQ(fake_.held, std::set<uint>{*cookie});

    EXPECT_TRUE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_EQ(fake_.uninhibited, std::vector<uint>{*cookie});
    EXPECT_TRUE(fake_.held.empty());
}

TEST_F(DBusScreenKeeperTest, IdleTimerResetReachesTheServiceWithoutWaitingForIt) {
    serve();
    // A service that never answers, and a timeout beyond the hang limit: a reset that
    // waited for an answer would hang here.
    fake_.silent = true;
    DBusScreenKeeper keeper(connectClient(), 15s);
    offMainThread([&] {
        for (int i = 0; i < 3; ++i) keeper.resetIdleTimer();
        return true;
    });
    EXPECT_TRUE(processEventsUntil([&] { return fake_.activity >= 3; })) << "activity seen: " << fake_.activity;
    EXPECT_EQ(fake_.activity, 3);
}

TEST_F(DBusScreenKeeperTest, ServiceOnTheOlderPathIsFound) {
    serve(DBusScreenKeeper::Paths[1]);
    const std::optional<uint32_t> cookie = offMainThread([&] { return keeper_->request(); });
    ASSERT_TRUE(cookie.has_value());
    keeper_->resetIdleTimer();
    EXPECT_TRUE(processEventsUntil([&] { return fake_.activity == 1; }));
    EXPECT_TRUE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_TRUE(fake_.held.empty());
}

// A cookie the service does not know (it restarted, or dropped it) is not held: the keeper
// must not keep trying to give it back.
TEST_F(DBusScreenKeeperTest, UnknownCookieCountsAsReleased) {
    serve();
    EXPECT_TRUE(offMainThread([&] { return keeper_->release(12345); }));
    EXPECT_EQ(fake_.uninhibited, std::vector<uint>{12345});
}

TEST_F(DBusScreenKeeperTest, WithoutTheServiceRequestsFailAndNothingIsHeld) {
    // The bus is up but nobody owns the service name. It says so at once: no call waits
    // for the (long) timeout.
    constexpr auto LongTimeout = 3s;
    DBusScreenKeeper keeper(connectClient(), LongTimeout);
    const auto started = Clock::now();
    EXPECT_EQ(offMainThread([&] { return keeper.request(); }), std::nullopt);
    EXPECT_TRUE(offMainThread([&] { return keeper.release(7); }));
    keeper.resetIdleTimer();
    EXPECT_LT(Clock::now() - started, LongTimeout);
}

TEST_F(DBusScreenKeeperTest, WithoutABusEveryCallFailsAtOnce) {
    const QString name = QStringLiteral("no-bus");
    {
        DBusScreenKeeper keeper(QDBusConnection::connectToBus(QStringLiteral("unix:path=") + folder_.filePath(QStringLiteral("no-socket")), name));
        EXPECT_EQ(keeper.request(), std::nullopt);
        EXPECT_TRUE(keeper.release(7));
        keeper.resetIdleTimer();
    }
    QDBusConnection::disconnectFromBus(name);
}

// A service that takes calls but does not answer: the request fails, and a release that
// got no answer keeps the request held, to be given back at the next try.
TEST_F(DBusScreenKeeperTest, ServiceThatDoesNotAnswerKeepsTheRequestForTheNextTry) {
    serve();
    const std::optional<uint32_t> cookie = offMainThread([&] { return keeper_->request(); });
    ASSERT_TRUE(cookie.has_value());

    fake_.silent = true;
    EXPECT_EQ(offMainThread([&] { return keeper_->request(); }), std::nullopt);
    EXPECT_FALSE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_EQ(fake_.held, std::set<uint>{*cookie});

    fake_.silent = false;
    EXPECT_TRUE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_TRUE(fake_.held.empty());
}

// The service's requests end with it, and ours end with our connection: neither leaves
// a request that the keeper would try to give back for ever.
TEST_F(DBusScreenKeeperTest, ServiceGoneAfterRequestCountsAsReleased) {
    serve();
    const std::optional<uint32_t> cookie = offMainThread([&] { return keeper_->request(); });
    ASSERT_TRUE(cookie.has_value());
    ASSERT_TRUE(service_->unregisterService(QString::fromLatin1(DBusScreenKeeper::Service)));
    EXPECT_TRUE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_EQ(offMainThread([&] { return keeper_->request(); }), std::nullopt);
}

TEST_F(DBusScreenKeeperTest, BusGoneAfterRequestCountsAsReleased) {
    serve();
    const std::optional<uint32_t> cookie = offMainThread([&] { return keeper_->request(); });
    ASSERT_TRUE(cookie.has_value());
    stopDaemon();
    EXPECT_TRUE(offMainThread([&] { return keeper_->release(*cookie); }));
    EXPECT_EQ(offMainThread([&] { return keeper_->request(); }), std::nullopt);
    keeper_->resetIdleTimer();
}

// The reader thread resets the idle timer while another thread takes and gives back
// requests; every request is given back and every reset arrives.
TEST_F(DBusScreenKeeperTest, CallsFromTwoThreadsAtOnce) {
    serve();
    constexpr int Requests = 20;
    constexpr int Resets = 50;
    const int released = offMainThread([&] {
        std::thread reader([&] {
            for (int i = 0; i < Resets; ++i) keeper_->resetIdleTimer();
        });
        int count = 0;
        for (int i = 0; i < Requests; ++i) {
            const std::optional<uint32_t> cookie = keeper_->request();
            if (cookie && keeper_->release(*cookie)) ++count;
        }
        reader.join();
        return count;
    });
    EXPECT_EQ(released, Requests);
    EXPECT_TRUE(fake_.held.empty());
    EXPECT_TRUE(processEventsUntil([&] { return fake_.activity >= Resets; }));
    EXPECT_EQ(fake_.activity, Resets);
}

}  // namespace
}  // namespace movira
