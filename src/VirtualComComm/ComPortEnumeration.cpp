#include "ComPortEnumeration.h"

#include "ComPortPath.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

bool IsAcmPort(const ComPortEnumeration::PortInfo &info)
{
    return ComPortPath::NumberFromPortName(info.portName) > 0;
}

bool HasMonitorIds(const ComPortEnumeration::PortInfo &info)
{
    return info.hasVendorIdentifier && info.hasProductIdentifier &&
           info.vendorIdentifier == ComPortEnumeration::kMonitorVendorId &&
           info.productIdentifier == ComPortEnumeration::kMonitorProductId;
}

bool HasMonitorNames(const ComPortEnumeration::PortInfo &info)
{
    if (!info.manufacturer.contains(QLatin1String("STMicroelectronics"), Qt::CaseInsensitive))
        return false;
    return info.description.contains(QLatin1String("Virtual COM Port"), Qt::CaseInsensitive) ||
           info.description.contains(QLatin1String("Virtual ComPort"), Qt::CaseInsensitive);
}

bool AlreadyListed(const QList<QString> &paths, const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QString &listed : paths) {
        if (listed == path ||
            (!canonical.isEmpty() && QFileInfo(listed).canonicalFilePath() == canonical))
            return true;
    }
    return false;
}

} // namespace

ComPortEnumeration::PortLister &ComPortEnumeration::Lister()
{
    static PortLister lister;
    return lister;
}

unsigned short ComPortEnumeration::EnumerateMonitorPorts(unsigned short *ports, int capacity)
{
    if (!ports || capacity <= 0)
        return 0;
    int count = 0;
    QList<QString> paths;
    for (const PortInfo &info : ListPorts()) {
        if (count >= capacity)
            return static_cast<unsigned short>(count);
        if (!IsMonitorPort(info))
            continue;
        ports[count++] =
            static_cast<unsigned short>(ComPortPath::NumberFromPortName(info.portName));
        paths.append(info.systemLocation);
    }
    const QString development = ComPortPath::DevelopmentPortPath();
    if (count < capacity && !development.isEmpty() && QFileInfo::exists(development) &&
        !AlreadyListed(paths, development))
        ports[count++] = static_cast<unsigned short>(ComPortPath::kDevelopmentPortNumber);
    return static_cast<unsigned short>(count);
}

bool ComPortEnumeration::IsMonitorPort(const PortInfo &info)
{
    return IsAcmPort(info) && (HasMonitorIds(info) || HasMonitorNames(info));
}

QList<ComPortEnumeration::PortInfo> ComPortEnumeration::ListPorts()
{
    const PortLister &lister = Lister();
    return lister ? lister() : SystemPorts();
}

ComPortEnumeration::PortInfo ComPortEnumeration::FromSerialPortInfo(const QSerialPortInfo &info)
{
    PortInfo port;
    port.portName = info.portName();
    port.systemLocation = info.systemLocation();
    port.description = info.description();
    port.manufacturer = info.manufacturer();
    port.hasVendorIdentifier = info.hasVendorIdentifier();
    port.vendorIdentifier = info.vendorIdentifier();
    port.hasProductIdentifier = info.hasProductIdentifier();
    port.productIdentifier = info.productIdentifier();
    return port;
}

QList<ComPortEnumeration::PortInfo> ComPortEnumeration::SystemPorts()
{
    QList<PortInfo> ports;
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    ports.reserve(available.size());
    for (const QSerialPortInfo &info : available)
        ports.append(FromSerialPortInfo(info));
    return ports;
}

void ComPortEnumeration::SetPortLister(PortLister lister)
{
    Lister() = std::move(lister);
}
