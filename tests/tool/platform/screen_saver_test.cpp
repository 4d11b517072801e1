// ctest-labels: gui
#include "platform/screen_saver.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>

#include <mutex>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/first_line.h"
#include "support/qt_test_app.h"
#include "support/scoped_env.h"

namespace {

constexpr int kBusStartMs = 10000;

// The desktop's screen-saver service, as far as the inhibitor uses it.
class FakeScreenSaver : public QDBusVirtualObject {
public:
    static constexpr uint kCookie = 4242;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (message.member() == QLatin1String("Inhibit")) {
            m_calls.push_back("Inhibit " + message.arguments().value(0).toString().toStdString() +
                              " / " + message.arguments().value(1).toString().toStdString());
            connection.send(message.createReply(QVariant::fromValue(kCookie)));
            return true;
        }
        if (message.member() == QLatin1String("UnInhibit")) {
            m_calls.push_back("UnInhibit " + std::to_string(message.arguments().value(0).toUInt()));
            connection.send(message.createReply());
            return true;
        }
        return false;
    }
    QString introspect(const QString&) const override { return QString(); }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// A private session bus (dbus-daemon) for one test; its address in Address().
class PrivateSessionBus {
public:
    PrivateSessionBus()
        : m_address(StartAndReadFirstLine(
              m_daemon, {"dbus-daemon", "--session", "--nofork", "--print-address=1"},
              kBusStartMs)) {}
    const std::string& Address() const { return m_address; }

private:
    ChildProcess m_daemon;
    std::string m_address;
};

class ScreenSaverTest : public GuiTest {};

TEST_F(ScreenSaverTest, InhibitAndReleaseReachTheDesktopService) {
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());

    // The service answers on a thread of its own: the inhibitor's calls block the window thread.
    QThread serviceThread;
    serviceThread.start();
    FakeScreenSaver service;
    service.moveToThread(&serviceThread);
    QDBusConnection serviceBus =
        QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "fakeScreenSaver");
    ASSERT_TRUE(serviceBus.isConnected());
    ASSERT_TRUE(
        serviceBus.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service));
    ASSERT_TRUE(serviceBus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));

    {
        ScreenSaverInhibitor inhibitor;
        EXPECT_TRUE(inhibitor.Inhibit(QStringLiteral("Acquiring")));
        EXPECT_TRUE(inhibitor.IsHeld());
        EXPECT_TRUE(inhibitor.Inhibit(QStringLiteral("again")));  // held: nothing more asked
        inhibitor.Release();
        EXPECT_FALSE(inhibitor.IsHeld());
        inhibitor.Release();
        EXPECT_TRUE(inhibitor.Inhibit(QStringLiteral("second run")));
    }  // the destructor hands the second one back
    EXPECT_EQ(service.Calls(), (std::vector<std::string>{
                                   "Inhibit Orbo_Zorvan_Tool / Acquiring", "UnInhibit 4242",
                                   "Inhibit Orbo_Zorvan_Tool / second run", "UnInhibit 4242"}));

    serviceBus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    QDBusConnection::disconnectFromBus("fakeScreenSaver");
    serviceThread.quit();
    serviceThread.wait();
}

// A headless run: no session bus at all, or one without the service. Nothing happens, nothing is
// reported (Qt warnings are fatal here).
TEST_F(ScreenSaverTest, WithoutASessionBusNothingHappens) {
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", std::string("unix:path=/nonexistent/orbo-bus"));
    ScreenSaverInhibitor inhibitor;
    EXPECT_FALSE(inhibitor.Inhibit(QStringLiteral("Acquiring")));
    EXPECT_FALSE(inhibitor.IsHeld());
    inhibitor.Release();
}

TEST_F(ScreenSaverTest, WithNoBusAddressNothingHappens) {
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnv display("DISPLAY", std::nullopt);
    ScreenSaverInhibitor inhibitor;
    EXPECT_FALSE(inhibitor.Inhibit(QStringLiteral("Acquiring")));
    EXPECT_FALSE(inhibitor.IsHeld());
}

TEST_F(ScreenSaverTest, WithoutTheServiceNothingHappens) {
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    ScreenSaverInhibitor inhibitor;
    EXPECT_FALSE(inhibitor.Inhibit(QStringLiteral("Acquiring")));
    EXPECT_FALSE(inhibitor.IsHeld());
}

}  // namespace
