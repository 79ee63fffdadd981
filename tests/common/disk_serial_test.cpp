#include "common/disk_serial.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace talvora;

namespace {

// IDENTIFY data as a drive sends them: the first character of each pair of a
// text field in the word's high byte.
QByteArray identifyWithSerial(const QByteArray& serial20)
{
    QByteArray data(512, '\x5a');
    for (int i = 0; i < 20; i += 2) {
        data[20 + i] = serial20[i + 1];
        data[20 + i + 1] = serial20[i];
    }
    return data;
}

QByteArray unitSerialPage(const QByteArray& serial)
{
    return QByteArray("\x00\x80\x00", 3) + char(serial.size()) + serial;
}

// A pretend /sys/block, udev database and /dev under a temporary folder.
struct FakeSystem {
    QTemporaryDir root;
    SystemDiskSerialSource::Paths paths{root.filePath("block"), root.filePath("udev"),
                                        root.filePath("dev")};

    FakeSystem() { QDir(root.path()).mkpath("udev"); }

    void write(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // A disk in /sys/block, or reached from there by a link when `where` is given.
    QString disk(const QString& name, bool removable = false, const QString& where = {})
    {
        const QString dir = where.isEmpty() ? paths.sysBlock + "/" + name : root.filePath(where + "/" + name);
        QDir().mkpath(dir + "/device");
        write(dir + "/removable", removable ? "1\n" : "0\n");
        if (!where.isEmpty()) {
            QDir().mkpath(paths.sysBlock);
            QFile::link(dir, paths.sysBlock + "/" + name);
        }
        return dir;
    }
};

struct CountingSource : DiskSerialSource {
    int calls = 0;
    QString serial() override { return QString::number(++calls); }
};

} // namespace

TEST(DiskSerial, DecodingOfIdentifyDataAndSysfsRecords)
{
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("WD-WCC4N1234567     ")), "WD-WCC4N1234567");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial(QByteArray("\0\t 12 34 AB\r\n\0\0\0\0\0\0\0", 20))),
              "12 34 AB");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("Z1234567890123456789").left(40)), "Z1234567890123456789");
    // Blanks only, an absent drive's 0xFF, bytes that are no serial, too short: nothing.
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial(QByteArray(20, ' '))), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray(512, '\xff')), "");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("12345\x01" "78901234567890")), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray(39, 'A')), "");

    EXPECT_EQ(SerialFromUnitSerialPage(unitSerialPage("  WD-123  ")), "WD-123");
    EXPECT_EQ(SerialFromUnitSerialPage(unitSerialPage("ABC") + "JUNK"), "ABC");
    EXPECT_EQ(SerialFromUnitSerialPage(QByteArray("\x00\x83\x00\x03" "ABC", 7)), "");
    EXPECT_EQ(SerialFromUnitSerialPage(QByteArray("\x00\x80\x00\x40" "ABC", 7)), "ABC");
    EXPECT_EQ(SerialFromUdevRecord("E:ID_SERIAL=Disk_9XY\nE:ID_SERIAL_SHORT=9XY\n"), "9XY");
    EXPECT_EQ(SerialFromUdevRecord("E:ID_SERIAL=Disk_9XY\n"), "");
}

TEST(DiskSerial, FirstFixedDiskInNameOrderThatGivesASerial)
{
    FakeSystem sys;
    // sda gives blanks by every way: the search goes on with sdb.
    sys.write(sys.disk("sda") + "/device/vpd_pg80", unitSerialPage("        "));
    sys.write(sys.disk("sda") + "/dev", "8:0\n");
    sys.write(sys.paths.udevData + "/b8:0", "E:ID_SERIAL_SHORT=   \n");
    sys.write(sys.disk("sdb") + "/dev", "8:16\n");
    sys.write(sys.paths.udevData + "/b8:16", "E:ID_SERIAL_SHORT=FROM-UDEV\n");
    sys.write(sys.disk("sdc") + "/device/vpd_pg80", unitSerialPage("THIRD"));
    sys.write(sys.disk("sdd", /*removable=*/true) + "/serial", "STICK");
    sys.write(sys.disk("vda") + "/serial", "VIRTIO");
    QDir().mkpath(sys.paths.sysBlock + "/loop0"); // nothing behind it
    sys.disk("dm-0", false, "devices/virtual/block");
    sys.disk("sdz", false, "devices/pci0000:00/0000:00:14.0/usb2/2-1/block");

    SystemDiskSerialSource source(sys.paths);
    EXPECT_EQ(source.fixedDisks(), (QStringList{"sda", "sdb", "sdc", "vda"}));
    EXPECT_EQ(source.serialOfDisk("sda"), "");
    EXPECT_EQ(source.serialOfDisk("vda"), "VIRTIO");
    EXPECT_EQ(source.serial(), "FROM-UDEV");
    // The device's own attribute goes before the udev record.
    sys.write(sys.paths.sysBlock + "/sdb/device/serial", "NVME-LIKE\n");
    EXPECT_EQ(source.serial(), "NVME-LIKE");

    FakeSystem linked;
    linked.write(linked.disk("nvme0n1", false, "devices/pci0000:00/nvme/nvme0") + "/device/serial", "S4EV");
    EXPECT_EQ(SystemDiskSerialSource(linked.paths).serial(), "S4EV");
}

TEST(DiskSerial, NothingReadableGivesTheEmptySerial)
{
    FakeSystem sys;
    sys.disk("sda");
    EXPECT_EQ(SystemDiskSerialSource(sys.paths).serial(), "");
    EXPECT_EQ(SystemDiskSerialSource({"/nonexistent/block", "/nonexistent/udev", "/nonexistent/dev"}).serial(), "");
    EXPECT_NO_THROW(SystemDiskSerialSource().serial());

    CountingSource counting;
    setDiskSerialSource(&counting);
    EXPECT_EQ(DiskSerial(), "1");
    EXPECT_EQ(DiskSerial(), "2"); // read anew each time
    setDiskSerialSource(nullptr);
    EXPECT_NE(&diskSerialSource(), static_cast<DiskSerialSource*>(&counting));
}
