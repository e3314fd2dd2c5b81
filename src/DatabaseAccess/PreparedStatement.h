#pragma once

#include "ParameterSink.h"

// A statement prepared once and run once per record of an import, bound by
// position (0 = first placeholder).
class PreparedStatement : public ParameterSink
{
public:
    enum StepResult
    {
        Row,
        Done,
        Error
    };

    virtual bool IsValid() const = 0;
    // Runs to the first row; afterwards Reset() before binding again.
    virtual StepResult Step() = 0;
    // How many rows the last Step() of a writing statement wrote.
    virtual int ChangedRows() const = 0;
    // A column of the row the last Step() reached (0 = first column), as the
    // Qt driver gives it: integers as 64 bits, text as text, NULL as null.
    virtual QVariant Value(int column) const = 0;
    // Readies the statement to run again; its bound values stay bound, so a
    // value the same for every record is bound once.
    virtual void Reset() = 0;
};
