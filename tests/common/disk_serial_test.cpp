#include "common/disk_serial.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace talvora;

namespace {

// IDENTIFY DEVICE data as a drive sends them: each word of a text field holds
// its first character in the high byte.
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
    QByteArray page("\x00\x80\x00", 3);
    page.append(char(serial.size()));
    return page + serial;
}

// A pretend /sys/block and /run/udev/data to read from.
class FakeSystem {
public:
    FakeSystem()
    {
        root_.setAutoRemove(true);
        QDir(root_.path()).mkpath("sys/block");
        QDir(root_.path()).mkpath("udev");
        QDir(root_.path()).mkpath("dev");
    }

    SystemDiskSerialSource::Paths paths() const
    {
        return {root_.filePath("sys/block"), root_.filePath("udev"), root_.filePath("dev")};
    }

    // A disk with a device behind it; `removable` as the kernel shows it.
    QString addDisk(const QString& name, const QString& majorMinor, bool removable = false)
    {
        const QString disk = root_.filePath("sys/block/" + name);
        QDir().mkpath(disk + "/device");
        write(disk + "/removable", removable ? "1\n" : "0\n");
        write(disk + "/dev", majorMinor.toLatin1() + "\n");
        return disk;
    }

    // A disk that lives elsewhere in the device tree, reached by a link.
    void addLinkedDisk(const QString& name, const QString& where)
    {
        const QString target = root_.filePath(where + "/" + name);
        QDir().mkpath(target + "/device");
        write(target + "/removable", "0\n");
        write(target + "/device/serial", "LINKED\n");
        QFile::link(target, root_.filePath("sys/block/" + name));
    }

    void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }

    void writeUdev(const QString& majorMinor, const QByteArray& record)
    {
        write(root_.filePath("udev/b" + majorMinor), record);
    }

private:
    QTemporaryDir root_;
};

class RecordingSource : public DiskSerialSource {
public:
    QString serial() override
    {
        ++calls;
        return QStringLiteral("FAKE-1");
    }
    int calls = 0;
};

} // namespace

TEST(DiskSerial, IdentifyDataHaveTheirWordBytesSwappedAndAreTrimmed)
{
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("WD-WCC4N1234567     ")), "WD-WCC4N1234567");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("        S3Z9NB0K1234")), "S3Z9NB0K1234");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("ABCDEFGHIJKLMNOPQRST")), "ABCDEFGHIJKLMNOPQRST");
    // Blanks inside the serial stay; NULs and control characters at the ends go.
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial(QByteArray("\0\0\t 12 34 AB\r\n\0\0\0\0\0", 20))),
              "12 34 AB");
    // Exactly the 40 bytes that hold the serial are enough.
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("Z1234567890123456789").left(40)),
              "Z1234567890123456789");
}

TEST(DiskSerial, IdentifyDataWithoutAUsableSerialGiveNothing)
{
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial(QByteArray(20, ' '))), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray(512, '\0')), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray(512, '\xff')), ""); // an absent drive
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("12345\x01" "78901234567890")), "");
    EXPECT_EQ(SerialFromIdentify(identifyWithSerial("ABC\xc3\xa9" "DEFGHIJKLMNOPQ")), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray(39, 'A')), "");
    EXPECT_EQ(SerialFromIdentify(QByteArray()), "");
}

TEST(DiskSerial, SysfsPagesAndUdevRecordsAreDecoded)
{
    EXPECT_EQ(SerialFromUnitSerialPage(unitSerialPage("  WD-123  ")), "WD-123");
    // The page length, not the buffer size, bounds the serial.
    EXPECT_EQ(SerialFromUnitSerialPage(unitSerialPage("ABC") + "GARBAGE"), "ABC");
    EXPECT_EQ(SerialFromUnitSerialPage(QByteArray("\x00\x83\x00\x03" "ABC", 7)), "");
    EXPECT_EQ(SerialFromUnitSerialPage(QByteArray("\x00\x80", 2)), "");
    EXPECT_EQ(SerialFromUnitSerialPage(QByteArray("\x00\x80\x00\x40" "ABC", 7)), "ABC");

    const QByteArray record = "S:disk/by-id/ata-X\nE:ID_SERIAL=Disk_X_9XY\nE:ID_SERIAL_SHORT=9XY\n"
                              "E:ID_TYPE=disk\n";
    EXPECT_EQ(SerialFromUdevRecord(record), "9XY");
    EXPECT_EQ(SerialFromUdevRecord("E:ID_SERIAL=Disk_X_9XY\n"), "");
    EXPECT_EQ(SerialFromUdevRecord(""), "");
}

TEST(DiskSerial, FixedDisksAreTriedInNameOrderAndTheFirstSerialWins)
{
    FakeSystem sys;
    sys.addDisk("sdb", "8:16");
    sys.write(sys.paths().sysBlock + "/sdb/device/vpd_pg80", unitSerialPage("SECOND"));
    const QString sda = sys.addDisk("sda", "8:0");
    sys.write(sda + "/device/vpd_pg80", unitSerialPage("FIRST   "));
    sys.addDisk("sdc", "8:32", /*removable=*/true);
    sys.write(sys.paths().sysBlock + "/sdc/device/serial", "STICK\n");
    QDir().mkpath(sys.paths().sysBlock + "/loop0"); // no device behind it

    SystemDiskSerialSource source(sys.paths());
    EXPECT_EQ(source.fixedDisks(), (QStringList{"sda", "sdb"}));
    EXPECT_EQ(source.serial(), "FIRST");
}

TEST(DiskSerial, EachWayOfReadingIsTriedBeforeTheNextDisk)
{
    FakeSystem sys;
    // sda answers with blanks everywhere: the search goes on with sdb.
    const QString sda = sys.addDisk("sda", "8:0");
    sys.write(sda + "/device/vpd_pg80", unitSerialPage("        "));
    sys.writeUdev("8:0", "E:ID_SERIAL_SHORT=   \n");
    const QString sdb = sys.addDisk("sdb", "8:16");
    sys.writeUdev("8:16", "E:ID_SERIAL_SHORT=FROM-UDEV\n");
    const QString vda = sys.addDisk("vda", "254:0");
    sys.write(vda + "/serial", "virtio-serial");

    SystemDiskSerialSource source(sys.paths());
    EXPECT_EQ(source.serialOfDisk("sda"), "");
    EXPECT_EQ(source.serialOfDisk("sdb"), "FROM-UDEV");
    EXPECT_EQ(source.serialOfDisk("vda"), "virtio-serial");
    EXPECT_EQ(source.serial(), "FROM-UDEV");

    // The device's own attribute is preferred to the udev record.
    sys.write(sdb + "/device/serial", "NVME-LIKE\n");
    EXPECT_EQ(source.serial(), "NVME-LIKE");
}

TEST(DiskSerial, VirtualAndUsbDisksAreNotFixedDisks)
{
    FakeSystem sys;
    sys.addLinkedDisk("dm-0", "devices/virtual/block");
    sys.addLinkedDisk("sdz", "devices/pci0000:00/0000:00:14.0/usb2/2-1/block");
    sys.addLinkedDisk("nvme0n1", "devices/pci0000:00/0000:00:1d.0/nvme/nvme0");

    SystemDiskSerialSource source(sys.paths());
    EXPECT_EQ(source.fixedDisks(), QStringList{"nvme0n1"});
    EXPECT_EQ(source.serial(), "LINKED");
}

TEST(DiskSerial, NothingReadableGivesTheEmptySerial)
{
    FakeSystem sys;
    sys.addDisk("sda", "8:0");
    EXPECT_EQ(SystemDiskSerialSource(sys.paths()).serial(), "");

    SystemDiskSerialSource::Paths missing{"/nonexistent/sys/block", "/nonexistent/udev",
                                          "/nonexistent/dev"};
    EXPECT_EQ(SystemDiskSerialSource(missing).serial(), "");
    // The real system may or may not show a serial; reading it must not fail.
    EXPECT_NO_THROW(SystemDiskSerialSource().serial());
}

TEST(DiskSerial, ProgramWideSourceCanBeReplacedAndRestored)
{
    RecordingSource fake;
    setDiskSerialSource(&fake);
    EXPECT_EQ(DiskSerial(), "FAKE-1");
    EXPECT_EQ(DiskSerial(), "FAKE-1");
    EXPECT_EQ(fake.calls, 2); // read anew each time
    setDiskSerialSource(nullptr);
    EXPECT_NE(&diskSerialSource(), static_cast<DiskSerialSource*>(&fake));
}
