#pragma once

#include <QVariant>

class ParameterSink;

// The three kinds of measurement, each in a table of its own.
enum class MeasureKind
{
    Nibp,
    Spo2,
    Temp
};

// A record chain as an insert strategy walks it, whatever its record type.
class MeasureRecords
{
public:
    virtual ~MeasureRecords();

    virtual MeasureKind Kind() const = 0;
    // The insert's placeholders: :PatientID, :MeasureTime, then the values.
    virtual int Columns() const = 0;
    // Moves to the first record, then to each next one; false after the last.
    virtual bool Next() = 0;
    virtual QVariant Time() const = 0;
    // Binds the current record's values from position 2 on.
    virtual bool BindValues(ParameterSink &sink) const = 0;
};
