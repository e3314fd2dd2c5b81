#pragma once

#include <QVariant>

// Takes the values of a statement's placeholders by position (0 = first),
// whether they go to one prepared statement or are gathered for a whole chain.
class ParameterSink
{
public:
    virtual ~ParameterSink();
    virtual bool Bind(int position, const QVariant &value) = 0;
};
