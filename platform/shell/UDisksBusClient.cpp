#include "platform/shell/UDisksBusClient.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>

namespace plat {

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kBlockInterface = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystemInterface = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kDriveInterface = "org.freedesktop.UDisks2.Drive";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";

bool startsWith(const QString& s, const char* prefix) { return s.startsWith(QLatin1String(prefix)); }

UDisksStatus statusOfError(const QString& name) {
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NoServer") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Spawn.ServiceNotFound"))
        return UDisksStatus::NoService;
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
        name == QLatin1String("org.freedesktop.DBus.Error.TimedOut") ||
        name == QLatin1String("org.freedesktop.UDisks2.Error.Timedout"))
        return UDisksStatus::TimedOut;
    if (startsWith(name, "org.freedesktop.UDisks2.Error.NotAuthorized") ||
        name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        name == QLatin1String("org.freedesktop.UDisks2.Error.Cancelled"))
        return UDisksStatus::NotAuthorized;
    if (name == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy")) return UDisksStatus::Busy;
    if (name == QLatin1String("org.freedesktop.UDisks2.Error.NotMounted")) return UDisksStatus::NotMounted;
    return UDisksStatus::Failed;
}

void setError(std::string* error, const QString& name, const QString& message) {
    if (!error) return;
    *error = name.toStdString();
    if (!message.isEmpty()) *error += ": " + message.toStdString();
}

std::string uniqueConnectionName() {
    static std::atomic<unsigned> counter{0};
    return "vorel-udisks-" + std::to_string(++counter);
}

}  // namespace

UDisksBusClient::UDisksBusClient() = default;

UDisksBusClient::UDisksBusClient(std::string busAddress)
    : busAddress_(std::move(busAddress)), connectionName_(uniqueConnectionName()) {
    QDBusConnection::connectToBus(QString::fromStdString(busAddress_), QString::fromStdString(connectionName_));
}

UDisksBusClient::~UDisksBusClient() {
    if (!connectionName_.empty()) QDBusConnection::disconnectFromBus(QString::fromStdString(connectionName_));
}

namespace {

// One bounded call; *reply holds the answer on Ok.
UDisksStatus callService(const QDBusConnection& bus, const std::string& objectPath, const char* interface,
                         const char* method, const QList<QVariant>& args, int timeoutMs, QDBusMessage* reply,
                         std::string* error) {
    if (!bus.isConnected()) {
        const QDBusError e = bus.lastError();
        setError(error, e.isValid() ? e.name() : QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                 e.isValid() ? e.message() : QStringLiteral("no system bus"));
        return UDisksStatus::NoService;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                          QString::fromStdString(objectPath),
                                                          QString::fromLatin1(interface), QString::fromLatin1(method));
    message.setArguments(args);
    *reply = bus.call(message, QDBus::Block, timeoutMs > 0 ? timeoutMs : 1);
    if (reply->type() == QDBusMessage::ReplyMessage) return UDisksStatus::Ok;
    if (reply->type() == QDBusMessage::ErrorMessage) {
        setError(error, reply->errorName(), reply->errorMessage());
        return statusOfError(reply->errorName());
    }
    setError(error, QStringLiteral("org.freedesktop.DBus.Error.Failed"), QStringLiteral("no reply"));
    return UDisksStatus::Failed;
}

QDBusConnection busOf(const std::string& connectionName) {
    if (connectionName.empty()) return QDBusConnection::systemBus();
    return QDBusConnection(QString::fromStdString(connectionName));
}

}  // namespace

namespace {

UDisksStatus readProperty(const QDBusConnection& bus, const std::string& objectPath, const char* interface,
                          const char* name, int timeoutMs, QVariant* value, std::string* error) {
    QDBusMessage reply;
    const UDisksStatus status = callService(bus, objectPath, kPropertiesInterface, "Get",
                                            {QString::fromLatin1(interface), QString::fromLatin1(name)}, timeoutMs,
                                            &reply, error);
    if (status != UDisksStatus::Ok) return status;
    const QList<QVariant> values = reply.arguments();
    *value = values.isEmpty() ? QVariant() : values.first().value<QDBusVariant>().variant();
    return UDisksStatus::Ok;
}

}  // namespace

UDisksStatus UDisksBusClient::checkRemovable(const std::string& objectPath, int timeoutMs, bool* removable,
                                             std::string* error) {
    *removable = false;
    const QDBusConnection bus = busOf(connectionName_);
    QVariant hintSystem, drive, driveRemovable;
    UDisksStatus status = readProperty(bus, objectPath, kBlockInterface, "HintSystem", timeoutMs, &hintSystem, error);
    if (status == UDisksStatus::Ok)
        status = readProperty(bus, objectPath, kBlockInterface, "Drive", timeoutMs, &drive, error);
    if (status != UDisksStatus::Ok) return status;
    const std::string drivePath = drive.value<QDBusObjectPath>().path().toStdString();
    if (hintSystem.toBool() || drivePath.empty() || drivePath == "/") return UDisksStatus::Ok;
    status = readProperty(bus, drivePath, kDriveInterface, "Removable", timeoutMs, &driveRemovable, error);
    if (status != UDisksStatus::Ok) return status;
    *removable = driveRemovable.toBool();
    return UDisksStatus::Ok;
}

UDisksStatus UDisksBusClient::unmount(const std::string& objectPath, int timeoutMs, std::string* error) {
    QDBusMessage reply;
    return callService(busOf(connectionName_), objectPath, kFilesystemInterface, "Unmount",
                       {QVariant::fromValue(QVariantMap{})}, timeoutMs, &reply, error);
}

UDisksStatus UDisksBusClient::format(const std::string& objectPath, const std::string& type, const std::string& label,
                                     int timeoutMs, std::string* error) {
    QVariantMap options;
    options.insert(QStringLiteral("label"), QString::fromStdString(label));
    QDBusMessage reply;
    return callService(busOf(connectionName_), objectPath, kBlockInterface, "Format",
                       {QString::fromStdString(type), QVariant::fromValue(options)}, timeoutMs, &reply, error);
}

UDisksStatus UDisksBusClient::mount(const std::string& objectPath, int timeoutMs, std::string* mountPoint,
                                    std::string* error) {
    QDBusMessage reply;
    const UDisksStatus status = callService(busOf(connectionName_), objectPath, kFilesystemInterface, "Mount",
                                            {QVariant::fromValue(QVariantMap{})}, timeoutMs, &reply, error);
    if (status == UDisksStatus::Ok && mountPoint) {
        const QList<QVariant> values = reply.arguments();
        *mountPoint = values.isEmpty() ? std::string() : values.first().toString().toStdString();
    }
    return status;
}

}  // namespace plat
