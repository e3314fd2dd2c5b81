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

// The number the digits at [from, from + count) of the text give, or -1.
int Digits(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "yyyy-MM-ddTHH:mm:ss" (or with a space for the T) as a local time; an
// invalid time for any other text.
QDateTime PlainDateTime(const QString &text)
{
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' ||
        (text[10] != u'T' && text[10] != u' ') || text[13] != u':' || text[16] != u':')
        return QDateTime();
    const QDate date(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2));
    const QTime clock(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2));
    if (!date.isValid() || !clock.isValid())
        return QDateTime();
    return QDateTime(date, clock);
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
    // The form this program writes, read by hand: a patient of 300,000
    // records spent half its read in the general parser.
    if (const QDateTime plain = PlainDateTime(text); plain.isValid())
        return plain;
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
