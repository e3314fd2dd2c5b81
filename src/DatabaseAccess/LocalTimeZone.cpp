#include "LocalTimeZone.h"

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

void LocalTimeZone::Pin()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}
