#include "platform/gui/DesktopNotifier.h"

#include "Version.h"
#include "platform/gui/ProgramIcon.h"
#include "shell/DesktopStatus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The "image-data" hint: raw RGBA rows, so the icon needs no file of its own.
struct NotificationImage
{
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray data;
};

QDBusArgument& operator<<(QDBusArgument& arg, const NotificationImage& image)
{
    arg.beginStructure();
    arg << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
        << image.channels << image.data;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, NotificationImage& image)
{
    arg.beginStructure();
    arg >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample
        >> image.channels >> image.data;
    arg.endStructure();
    return arg;
}

NotificationImage iconImage()
{
    const QImage rgba = beamtide::programImage(64).convertToFormat(QImage::Format_RGBA8888);
    NotificationImage image;
    image.width = rgba.width();
    image.height = rgba.height();
    image.rowStride = int(rgba.bytesPerLine());
    image.data = QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    return image;
}

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

namespace beamtide {

DesktopNotifier::DesktopNotifier(LogSink log, QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), std::move(log), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, LogSink log, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_log(std::move(log))
{
    qDBusRegisterMetaType<NotificationImage>();
    if (m_bus.isConnected()) {
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(onActionInvoked(uint,QString)));
    }
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString& alertLine)
{
    if (!m_bus.isConnected()) {
        const QString why = m_bus.lastError().message();
        trouble(QStringLiteral("no D-Bus session") + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')'));
        return;
    }
    // Whether the body is read as markup decides how it is escaped; the service may have been
    // replaced since the last alert, so ask each time (alerts are rare).
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, alertLine](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            trouble(reply.error().message());
            return;
        }
        send(alertLine, reply.value().contains(QStringLiteral("body-markup")));
    });
}

void DesktopNotifier::send(const QString& alertLine, bool markup)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("image-data"), QVariant::fromValue(iconImage()));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopId));
    call << QStringLiteral("Beamtide") << uint(0) << QString() << kNotificationTitle.toString()
         << notificationBody(alertLine, markup)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Beamtide")} << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            trouble(reply.error().message());
            return;
        }
        m_troubleLogged = false;
        m_ids.insert(reply.value());
        Q_EMIT shown(reply.value());
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    if (m_ids.contains(id) && action == u"default")
        Q_EMIT activated();
}

void DesktopNotifier::trouble(const QString& error)
{
    if (!m_troubleLogged && m_log)
        m_log(QStringLiteral("Desktop notification not shown: ") + error);
    m_troubleLogged = true;
    Q_EMIT failed(error);
}

} // namespace beamtide
