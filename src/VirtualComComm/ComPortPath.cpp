#include "ComPortPath.h"

#include <QtGlobal>

namespace {

const QString kAcmPrefix = QStringLiteral("ttyACM");

} // namespace

ComPortPath::PathResolver &ComPortPath::Resolver()
{
    static PathResolver resolver;
    return resolver;
}

QString ComPortPath::DevicePath(int com)
{
    const PathResolver &resolver = Resolver();
    return resolver ? resolver(com) : DefaultDevicePath(com);
}

QString ComPortPath::DefaultDevicePath(int com)
{
    if (com == kDevelopmentPortNumber)
        return DevelopmentPortPath();
    if (com < 1 || com > kHighestAcmNumber)
        return QString();
    return QStringLiteral("/dev/") + kAcmPrefix + QString::number(com - 1);
}

void ComPortPath::SetPathResolver(PathResolver resolver)
{
    Resolver() = std::move(resolver);
}

int ComPortPath::NumberFromPortName(const QString &portName)
{
    if (!portName.startsWith(kAcmPrefix) || portName.size() == kAcmPrefix.size())
        return -1;
    const QStringView digits = QStringView(portName).mid(kAcmPrefix.size());
    for (const QChar c : digits) {
        if (!c.isDigit() || c.unicode() > '9')
            return -1;
    }
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    if (!ok || n + 1 > kHighestAcmNumber)
        return -1;
    return static_cast<int>(n + 1);
}

QString ComPortPath::DevelopmentPortPath()
{
    // Qt's environment access is locked, so the scan thread may read this
    // while another thread sets it.
    return qEnvironmentVariable(kDevelopmentPortVariable);
}
