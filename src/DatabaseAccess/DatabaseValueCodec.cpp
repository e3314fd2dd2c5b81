#include "DatabaseValueCodec.h"

QByteArray DatabaseValueCodec::UuidToDb(const QUuid &id)
{
    return id.toByteArray(QUuid::WithBraces);
}

QUuid DatabaseValueCodec::UuidFromDb(const QVariant &value)
{
    return QUuid::fromString(value.toString().trimmed());
}

namespace {

// Writes the value as a fixed number of decimal digits, most significant first.
char16_t *PutDigits(char16_t *out, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    return out + digits;
}

} // namespace

QVariant DatabaseValueCodec::DateTimeToDb(const QDateTime &time)
{
    if (!time.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    // Written by hand: an import formats one time per record, and the
    // locale-aware formatter costs more than the SQLite lookup it feeds.
    const QDateTime local = time.timeSpec() == Qt::LocalTime ? time : time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    if (date.year() < 0 || date.year() > 9999)
        return local.toString(Qt::ISODate);
    char16_t text[19];
    char16_t *out = PutDigits(text, date.year(), 4);
    *out++ = u'-';
    out = PutDigits(out, date.month(), 2);
    *out++ = u'-';
    out = PutDigits(out, date.day(), 2);
    *out++ = u'T';
    out = PutDigits(out, clock.hour(), 2);
    *out++ = u':';
    out = PutDigits(out, clock.minute(), 2);
    *out++ = u':';
    PutDigits(out, clock.second(), 2);
    return QString::fromUtf16(text, 19);
}

QDateTime DatabaseValueCodec::DateTimeFromDb(const QVariant &value)
{
    if (value.isNull())
        return QDateTime();
    // A server's timestamp column arrives as a time already.
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toLocalTime();
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
