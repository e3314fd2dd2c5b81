#include "DatabaseValueCodec.h"

QByteArray DatabaseValueCodec::UuidToDb(const QUuid &id)
{
    return id.toByteArray(QUuid::WithBraces);
}

QUuid DatabaseValueCodec::UuidFromDb(const QVariant &value)
{
    return QUuid::fromString(value.toString().trimmed());
}

QVariant DatabaseValueCodec::DateTimeToDb(const QDateTime &time)
{
    if (!time.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    const QDateTime local = time.toLocalTime();
    return local.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('T') +
           local.time().toString(QStringLiteral("HH:mm:ss"));
}

QDateTime DatabaseValueCodec::DateTimeFromDb(const QVariant &value)
{
    if (value.isNull())
        return QDateTime();
    const QString text = value.toString().trimmed();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (time.isValid() && time.timeSpec() != Qt::LocalTime)
        time = time.toLocalTime();
    return time;
}

QString DatabaseValueCodec::TextToDb(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QDateTime DatabaseValueCodec::CurrentDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(),
                     QTime(now.time().hour(), now.time().minute(), now.time().second()));
}
