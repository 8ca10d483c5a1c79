#include "viewer/sources/UdisksFormatter.h"

#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusInterface>
#include <QtDBus/QDBusReply>
#include <QtDBus/QDBusVariant>

#include <cctype>

#include "platform/fs/DriveMap.h"
#include "platform/fs/MountInfo.h"
#include "viewer/sources/MassStrage.h"

namespace {

const char* const kService = "org.freedesktop.UDisks2";
const char* const kBlockPath = "/org/freedesktop/UDisks2/block_devices/";
constexpr int kFormatTimeoutMs = 10 * 60 * 1000;

int32_t fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return -1;
}

// udisks names objects by the kernel name with other characters escaped as _xx.
QString objectName(const std::string& kernelName) {
    QString out;
    for (unsigned char c : kernelName) {
        if (std::isalnum(c)) out += QChar(c);
        else out += QString("_%1").arg(c, 2, 16, QChar('0'));
    }
    return out;
}

// The mounted device of a mount point ("/dev/sdb1").
std::string mountedDevice(const std::filesystem::path& root) {
    std::vector<plat::MountEntry> mounts;
    if (!plat::readMountInfo("/proc/self/mountinfo", &mounts))
        return {};
    for (const plat::MountEntry& m : mounts)
        if (m.mountPoint == root.string() && m.source.rfind("/dev/", 0) == 0)
            return m.source;
    return {};
}

QVariant property(const QString& path, const char* interface, const char* name) {
    QDBusInterface props(kService, path, "org.freedesktop.DBus.Properties", QDBusConnection::systemBus());
    QDBusReply<QVariant> reply = props.call("Get", QString(interface), QString(name));
    return reply.isValid() ? reply.value() : QVariant();
}

}  // namespace

int32_t FormatRemovableMedium(char letter, std::string* why) {
    plat::DriveInfo drive;
    if (!plat::DriveMap().lookup(letter, &drive))
        return fail(why, "no such drive");
    if (drive.manual || drive.type != plat::DriveType::Removable || drive.device.empty())
        return fail(why, "not a removable device");
    const std::string device = mountedDevice(drive.root);
    if (device.empty())
        return fail(why, "no mounted medium");
    const std::string kernel = device.substr(5);
    if (kernel.rfind(drive.device, 0) != 0)
        return fail(why, "the medium is not on the drive's device");
    if (!QDBusConnection::systemBus().isConnected())
        return fail(why, "no system bus");
    const QString path = QString(kBlockPath) + objectName(kernel);
    if (property(path, "org.freedesktop.UDisks2.Block", "HintSystem").toBool())
        return fail(why, "udisks marks the device as a system device");
    const QVariantMap none;
    QDBusInterface filesystem(kService, path, "org.freedesktop.UDisks2.Filesystem", QDBusConnection::systemBus());
    QDBusMessage r = filesystem.call("Unmount", none);
    if (r.type() == QDBusMessage::ErrorMessage)
        return fail(why, r.errorMessage().toStdString());
    QDBusInterface block(kService, path, "org.freedesktop.UDisks2.Block", QDBusConnection::systemBus());
    block.setTimeout(kFormatTimeoutMs);
    r = block.call("Format", QString("vfat"), none);
    if (r.type() == QDBusMessage::ErrorMessage)
        return fail(why, r.errorMessage().toStdString());
    r = filesystem.call("Mount", none);
    if (r.type() == QDBusMessage::ErrorMessage)
        return fail(why, r.errorMessage().toStdString());
    return 0;
}

void InstallUdisksFormatter() {
    CMassStrage::SetDriveFormatter([](char letter) { return FormatRemovableMedium(letter); });
}
