#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <QVariant>

// How record values are written to and read from the database file, the same
// in every statement so that files stay interchangeable with other readers.
class DatabaseValueCodec
{
public:
    // The braced lower-case text form, bound as a byte array.
    static QByteArray UuidToDb(const QUuid &id);
    static QUuid UuidFromDb(const QVariant &value);

    // "yyyy-MM-ddTHH:mm:ss" in local time: text order is time order, and the
    // duplicate check looks for texts that begin with it. A null time is
    // bound as NULL.
    static QVariant DateTimeToDb(const QDateTime &time);
    // Reads that form and the one with milliseconds (and a zone, if any).
    static QDateTime DateTimeFromDb(const QVariant &value);

    // An empty field is bound as empty text, never as NULL.
    static QString TextToDb(const QString &text);

    // The current time cut to whole seconds, as it will read back.
    static QDateTime CurrentDateTime();
};
