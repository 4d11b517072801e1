#include "platform/screen_saver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "core/dbg_output.h"

namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
constexpr const char* kInterface = "org.freedesktop.ScreenSaver";
constexpr const char* kApplicationName = "Orbo_Zorvan_Tool";

// The session bus when it exists and offers the screen-saver service.
bool ServiceAvailable(QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* names = bus.interface();
    return names != nullptr && names->isServiceRegistered(QString::fromLatin1(kService)).value();
}

QDBusMessage Call(QDBusConnection& bus, const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QString::fromLatin1(method));
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, kScreenSaverCallTimeoutMs);
}

}  // namespace

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    Release();
}

bool ScreenSaverInhibitor::Inhibit(const QString& reason) {
    if (m_held) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ServiceAvailable(bus)) return false;
    const QDBusMessage reply =
        Call(bus, "Inhibit", {QString::fromLatin1(kApplicationName), reason});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        DbgOutputA(3, "screen saver inhibit refused: %s\r\n",
                   reply.errorMessage().toUtf8().constData());
        return false;
    }
    m_cookie = reply.arguments().first().toUInt();
    m_held = true;
    return true;
}

void ScreenSaverInhibitor::Release() {
    if (!m_held) return;
    m_held = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    const QDBusMessage reply = Call(bus, "UnInhibit", {m_cookie});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        DbgOutputA(3, "screen saver uninhibit failed: %s\r\n",
                   reply.errorMessage().toUtf8().constData());
    }
}
