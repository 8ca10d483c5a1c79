// The D-Bus client against a stand-in disk service on a private bus: a
// dbus-daemon of the test's own, and an object that answers as udisks2 does.
#include "platform/shell/UDisksBusClient.h"
#include "platform/testing/TempRoot.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QThread>

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace plat {
namespace {

QCoreApplication* application() {
    static int argc = 1;
    static char name[] = "shell_udisks_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

// Answers by the last part of the object path: "busy", "denied", "notmounted"
// and "failing" give udisks2's errors, "silent" never answers. Properties: the
// block device "system" is a system device, "fixed" sits on a fixed drive,
// every other one on a removable card reader.
class FakeDiskService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString device = message.path().section(QLatin1Char('/'), -1);
        record(message);
        if (device == QLatin1String("silent")) return true;
        QDBusMessage reply;
        if (message.member() == QLatin1String("Get"))
            reply = message.createReply(QVariant::fromValue(QDBusVariant(property(device, message.arguments()))));
        else if (device == QLatin1String("busy"))
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"), "busy");
        else if (device == QLatin1String("denied"))
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain"),
                                             "not authorized");
        else if (device == QLatin1String("notmounted"))
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.NotMounted"), "no");
        else if (device == QLatin1String("failing"))
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"), "mkfs failed");
        else if (message.member() == QLatin1String("Mount"))
            reply = message.createReply(QStringLiteral("/media/u/NEW"));
        else
            reply = message.createReply();
        connection.send(reply);
        return true;
    }

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> g(m_);
        return calls_;
    }

private:
    static QVariant property(const QString& device, const QList<QVariant>& args) {
        const QString name = args.value(1).toString();
        if (name == QLatin1String("HintSystem")) return device == QLatin1String("system");
        if (name == QLatin1String("Drive"))
            return QVariant::fromValue(QDBusObjectPath(device == QLatin1String("fixed")
                                                           ? QStringLiteral("/org/freedesktop/UDisks2/drives/Fixed_Disk")
                                                           : QStringLiteral("/org/freedesktop/UDisks2/drives/Card_Reader")));
        if (name == QLatin1String("Removable")) return device == QLatin1String("Card_Reader");
        return {};
    }

    void record(const QDBusMessage& message) {
        std::string call = message.interface().toStdString() + "." + message.member().toStdString() + " " +
                           message.path().section(QLatin1Char('/'), -1).toStdString() + " (" +
                           message.signature().toStdString() + ")";
        for (const QVariant& arg : message.arguments()) {
            if (arg.canConvert<QDBusArgument>()) {
                const QVariantMap options = qdbus_cast<QVariantMap>(arg.value<QDBusArgument>());
                for (auto it = options.begin(); it != options.end(); ++it)
                    call += " " + it.key().toStdString() + "=" + it.value().toString().toStdString();
            } else {
                call += " " + arg.toString().toStdString();
            }
        }
        std::lock_guard<std::mutex> g(m_);
        calls_.push_back(call);
    }

    std::mutex m_;
    std::vector<std::string> calls_;
};

class UDisksPrivateBusTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    QProcess daemon;
    std::string address;
    QThread serviceThread;
    FakeDiskService* service = nullptr;
    const QString serviceConnection = QStringLiteral("fake-udisks");

    void SetUp() override {
        application();
        if (!std::filesystem::exists("/usr/bin/dbus-daemon")) GTEST_SKIP() << "no dbus-daemon";
        const std::string socket = (tempRoot.path() / "bus").string();
        daemon.start(QStringLiteral("/usr/bin/dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                      QString::fromStdString("--address=unix:path=" + socket)});
        ASSERT_TRUE(daemon.waitForStarted(10000));
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = daemon.readLine().trimmed().toStdString();
        ASSERT_FALSE(address.empty());
    }

    // Puts the stand-in service on the bus, answering on a thread of its own.
    void startService() {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), serviceConnection);
        ASSERT_TRUE(bus.isConnected());
        service = new FakeDiskService;
        // Registered first: the registration gives the object a child, which moves with it.
        ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"), service,
                                              QDBusConnection::SubPath));
        service->moveToThread(&serviceThread);
        serviceThread.start();
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.UDisks2")));
    }

    void TearDown() override {
        QDBusConnection::disconnectFromBus(serviceConnection);
        serviceThread.quit();
        serviceThread.wait();
        delete service;
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(10000);
        }
    }
};

TEST_F(UDisksPrivateBusTest, CallsCarryTheServiceSignatures) {
    startService();
    UDisksBusClient client(address);
    const std::string sdb1 = udisksBlockObjectPath("sdb1");
    std::string mountPoint, error;
    bool removable = false;
    EXPECT_EQ(client.checkRemovable(sdb1, 10000, &removable, &error), UDisksStatus::Ok) << error;
    EXPECT_TRUE(removable);
    EXPECT_EQ(client.unmount(sdb1, 10000, &error), UDisksStatus::Ok) << error;
    EXPECT_EQ(client.format(sdb1, "vfat", "PICTURES", 10000, &error), UDisksStatus::Ok) << error;
    EXPECT_EQ(client.mount(sdb1, 10000, &mountPoint, &error), UDisksStatus::Ok) << error;
    EXPECT_EQ(mountPoint, "/media/u/NEW");
    EXPECT_EQ(service->calls(), (std::vector<std::string>{
                                    "org.freedesktop.DBus.Properties.Get sdb1 (ss) org.freedesktop.UDisks2.Block HintSystem",
                                    "org.freedesktop.DBus.Properties.Get sdb1 (ss) org.freedesktop.UDisks2.Block Drive",
                                    "org.freedesktop.DBus.Properties.Get Card_Reader (ss) org.freedesktop.UDisks2.Drive Removable",
                                    "org.freedesktop.UDisks2.Filesystem.Unmount sdb1 (a{sv})",
                                    "org.freedesktop.UDisks2.Block.Format sdb1 (sa{sv}) vfat label=PICTURES",
                                    "org.freedesktop.UDisks2.Filesystem.Mount sdb1 (a{sv})",
                                }));
}

TEST_F(UDisksPrivateBusTest, SystemDevicesAndFixedDrivesAreNotRemovable) {
    startService();
    UDisksBusClient client(address);
    for (const char* device : {"system", "fixed"}) {
        bool removable = true;
        EXPECT_EQ(client.checkRemovable(udisksBlockObjectPath(device), 10000, &removable, nullptr), UDisksStatus::Ok);
        EXPECT_FALSE(removable) << device;
    }
}

TEST_F(UDisksPrivateBusTest, ServiceErrorsBecomeStatuses) {
    startService();
    UDisksBusClient client(address);
    struct Case {
        const char* device;
        UDisksStatus expected;
    };
    const Case cases[] = {
        {"busy", UDisksStatus::Busy},
        {"denied", UDisksStatus::NotAuthorized},
        {"notmounted", UDisksStatus::NotMounted},
        {"failing", UDisksStatus::Failed},
        {"silent", UDisksStatus::TimedOut},  // bounded by the call's time-out
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(client.unmount(udisksBlockObjectPath(c.device), 300, &error), c.expected) << c.device;
        EXPECT_FALSE(error.empty()) << c.device;
    }
}

TEST_F(UDisksPrivateBusTest, BusWithoutTheServiceMeansNoService) {
    UDisksBusClient client(address);
    std::string error;
    EXPECT_EQ(client.format(udisksBlockObjectPath("sdb1"), "vfat", "", 10000, &error), UDisksStatus::NoService)
        << error;
}

}  // namespace
}  // namespace plat
