#pragma once

#include "ParameterSink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The values of a whole record chain gathered per placeholder position as
// array literals ("{v1,v2,...}"), so that a server stores the chain with one
// statement instead of one round trip per record.
class ArrayParameters : public ParameterSink
{
public:
    // Appends the value to the array of that position (0 = first).
    bool Bind(int position, const QVariant &value) override;
    QString Literal(int position) const;

private:
    QList<QStringList> m_arrays;
};
