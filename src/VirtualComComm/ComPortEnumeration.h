#pragma once

#include <QList>
#include <QString>

#include <functional>

class QSerialPortInfo;

// Finds the monitor's serial ports among the system's. The list of ports
// comes from one replaceable function, so tests can feed it lists.
class ComPortEnumeration
{
public:
    // What the system tells of one serial port (the fields of QSerialPortInfo
    // that the matching rule looks at).
    struct PortInfo
    {
        QString portName;
        QString systemLocation;
        QString description;
        QString manufacturer;
        bool hasVendorIdentifier = false;
        quint16 vendorIdentifier = 0;
        bool hasProductIdentifier = false;
        quint16 productIdentifier = 0;
    };

    static constexpr quint16 kMonitorVendorId = 0x0483;
    static constexpr quint16 kMonitorProductId = 0x5740;

    using PortLister = std::function<QList<PortInfo>()>;

    // Fills ports with the numbers of the present monitors, in enumeration
    // order, then the development port while its path exists; at most
    // capacity entries. Returns the count.
    static unsigned short EnumerateMonitorPorts(unsigned short *ports, int capacity);

    // A ttyACM port with the monitor's USB ids, or with the monitor's maker in
    // its manufacturer and its virtual port name in its description.
    static bool IsMonitorPort(const PortInfo &info);

    static QList<PortInfo> ListPorts();
    static PortInfo FromSerialPortInfo(const QSerialPortInfo &info);
    static QList<PortInfo> SystemPorts();
    // Replaces the port list (an empty lister restores the system's). Call only
    // while no scan runs.
    static void SetPortLister(PortLister lister);

private:
    static PortLister &Lister();
};
