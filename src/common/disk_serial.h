#pragma once
// The serial number of the computer's hard disk, stored with every error
// report ("номер диска") and put into the name of the error archive.
//
// The serial is read anew each time it is needed. A disk that cannot be read
// gives the empty text, which is always an acceptable answer.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace talvora {

// Serial text in reading order: bytes with codes up to 32 (blanks, control
// characters, NULs) are removed from both ends. Drives give printable ASCII
// only; a text holding anything else is garbage (an absent drive answers
// with 0xFF bytes) and gives the empty text.
QString CleanSerial(const QByteArray& text);

// The serial of raw ATA IDENTIFY DEVICE data as the drive sends them: the 20
// bytes from offset 20 (words 10 to 19), the two bytes of each word swapped,
// then cleaned as above. Shorter data give the empty text.
QString SerialFromIdentify(const QByteArray& identify);

// The serial of a SCSI "unit serial number" page (VPD page 0x80), as the
// kernel shows it in sysfs as vpd_pg80. Anything but that page gives empty.
QString SerialFromUnitSerialPage(const QByteArray& page);

// The value of ID_SERIAL_SHORT in a record of the udev database
// (/run/udev/data/b<major>:<minor>), cleaned; empty when absent.
QString SerialFromUdevRecord(const QByteArray& record);

// Where the serial comes from; tests put their own in place.
class DiskSerialSource {
public:
    virtual ~DiskSerialSource() = default;
    // The serial of the first fixed disk that gives one; empty when none does.
    virtual QString serial() = 0;
};

// Reads what Linux shows an ordinary user. The fixed disks are the entries of
// /sys/block backed by a device that is neither removable nor on USB, in
// name order. For each disk in turn these are tried, and the first non-empty
// serial wins:
//   1. the serial attribute of the disk or its device (NVMe, virtio);
//   2. the unit serial number page vpd_pg80 (SATA and SCSI disks);
//   3. ID_SERIAL_SHORT of the disk's udev record;
//   4. the HDIO_GET_IDENTITY ioctl on the device node, when it can be opened.
class SystemDiskSerialSource : public DiskSerialSource {
public:
    struct Paths {
        QString sysBlock = QStringLiteral("/sys/block");
        QString udevData = QStringLiteral("/run/udev/data");
        QString devices = QStringLiteral("/dev");
    };

    SystemDiskSerialSource();
    explicit SystemDiskSerialSource(Paths paths);

    QString serial() override;

    // The fixed disks by their /sys/block names, in the order they are tried.
    QStringList fixedDisks() const;
    // The serial of one disk; empty when no way gives one.
    QString serialOfDisk(const QString& name) const;

private:
    Paths paths_;
};

// The source the program uses: the system's, unless a test put another in
// place. setDiskSerialSource(nullptr) goes back to the system's.
DiskSerialSource& diskSerialSource();
void setDiskSerialSource(DiskSerialSource* source);

// Shorthand for diskSerialSource().serial().
QString DiskSerial();

} // namespace talvora
