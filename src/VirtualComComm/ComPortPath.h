#pragma once

#include <QString>

#include <functional>

// Port numbers as the rest of the program speaks of them: /dev/ttyACM<n> is
// port n + 1, so numbers start at 1 like COM ports. One more number, which no
// ttyACM port can have, stands for the development port named by the
// environment variable VANTREL_MONITOR_PORT (off unless set).
class ComPortPath
{
public:
    static constexpr int kDevelopmentPortNumber = 65535;
    static constexpr int kHighestAcmNumber = kDevelopmentPortNumber - 1;
    static constexpr const char *kDevelopmentPortVariable = "VANTREL_MONITOR_PORT";

    using PathResolver = std::function<QString(int com)>;

    // The device path of a port number; empty when the number names no port.
    static QString DevicePath(int com);
    // The default mapping: /dev/ttyACM<com - 1>, the development port for its
    // number, empty otherwise.
    static QString DefaultDevicePath(int com);
    // Replaces the mapping (tests point it at pseudo-terminals); an empty
    // resolver restores the default. Call only while no port is being opened.
    static void SetPathResolver(PathResolver resolver);

    // ttyACM<n> -> n + 1; -1 for any other name or an unrepresentable n.
    static int NumberFromPortName(const QString &portName);
    // The path in VANTREL_MONITOR_PORT, empty when unset.
    static QString DevelopmentPortPath();

private:
    static PathResolver &Resolver();
};
