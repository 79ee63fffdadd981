#include "disk_serial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace talvora {

namespace {

constexpr int kSerialOffset = 20;
constexpr int kSerialLength = 20;
// sysfs attributes are at most a page long.
constexpr qint64 kAttributeLimit = 4096;

QByteArray readAttribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kAttributeLimit);
}

// HDIO_GET_IDENTITY: the kernel hands the identify data with the text fields
// already in reading order.
QString serialByIoctl(const QString& deviceNode)
{
    const QByteArray path = QFile::encodeName(deviceNode);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    unsigned char identity[512] = {};
    static_assert(sizeof(identity) >= sizeof(hd_driveid));
    const int rc = ::ioctl(fd, HDIO_GET_IDENTITY, identity);
    ::close(fd);
    if (rc != 0)
        return {};
    return CleanSerial(QByteArray(reinterpret_cast<const char*>(identity) + kSerialOffset,
                                  kSerialLength));
}

DiskSerialSource* installedSource = nullptr;

} // namespace

QString CleanSerial(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    for (qsizetype i = begin; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 32 || c > 126)
            return {};
    }
    return QString::fromLatin1(text.constData() + begin, end - begin);
}

QString SerialFromIdentify(const QByteArray& identify)
{
    if (identify.size() < kSerialOffset + kSerialLength)
        return {};
    QByteArray serial = identify.mid(kSerialOffset, kSerialLength);
    for (qsizetype i = 0; i + 1 < serial.size(); i += 2)
        std::swap(serial[i], serial[i + 1]);
    return CleanSerial(serial);
}

QString SerialFromUnitSerialPage(const QByteArray& page)
{
    if (page.size() < 4 || static_cast<unsigned char>(page[1]) != 0x80)
        return {};
    const int length = (static_cast<unsigned char>(page[2]) << 8)
                       | static_cast<unsigned char>(page[3]);
    return CleanSerial(page.mid(4, length));
}

QString SerialFromUdevRecord(const QByteArray& record)
{
    static const QByteArray key = "E:ID_SERIAL_SHORT=";
    for (const QByteArray& line : record.split('\n')) {
        if (line.startsWith(key))
            return CleanSerial(line.mid(key.size()));
    }
    return {};
}

SystemDiskSerialSource::SystemDiskSerialSource() = default;

SystemDiskSerialSource::SystemDiskSerialSource(Paths paths) : paths_(std::move(paths)) {}

QStringList SystemDiskSerialSource::fixedDisks() const
{
    QStringList disks;
    const QDir block(paths_.sysBlock);
    const QStringList names = block.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString disk = block.filePath(name);
        // Loop, RAM, device-mapper and RAID devices have no device behind them.
        if (!QFileInfo(disk + QStringLiteral("/device")).isDir())
            continue;
        if (readAttribute(disk + QStringLiteral("/removable")).trimmed() == "1")
            continue;
        const QString where = QFileInfo(disk).canonicalFilePath();
        if (where.contains(QStringLiteral("/devices/virtual/"))
            || where.contains(QStringLiteral("/usb")))
            continue;
        disks << name;
    }
    return disks;
}

QString SystemDiskSerialSource::serialOfDisk(const QString& name) const
{
    const QString disk = paths_.sysBlock + u'/' + name;

    for (const QString& attribute : {disk + QStringLiteral("/serial"),
                                     disk + QStringLiteral("/device/serial")}) {
        const QString serial = CleanSerial(readAttribute(attribute));
        if (!serial.isEmpty())
            return serial;
    }

    QString serial = SerialFromUnitSerialPage(readAttribute(disk + QStringLiteral("/device/vpd_pg80")));
    if (!serial.isEmpty())
        return serial;

    const QByteArray majorMinor = readAttribute(disk + QStringLiteral("/dev")).trimmed();
    if (!majorMinor.isEmpty()) {
        serial = SerialFromUdevRecord(readAttribute(
            paths_.udevData + QStringLiteral("/b") + QString::fromLatin1(majorMinor)));
        if (!serial.isEmpty())
            return serial;
    }

    return serialByIoctl(paths_.devices + u'/' + name);
}

QString SystemDiskSerialSource::serial()
{
    for (const QString& disk : fixedDisks()) {
        const QString serial = serialOfDisk(disk);
        if (!serial.isEmpty())
            return serial;
    }
    return {};
}

DiskSerialSource& diskSerialSource()
{
    static SystemDiskSerialSource system;
    return installedSource ? *installedSource : system;
}

void setDiskSerialSource(DiskSerialSource* source)
{
    installedSource = source;
}

QString DiskSerial()
{
    return diskSerialSource().serial();
}

} // namespace talvora
