#pragma once

#include <QVariant>

// A statement prepared once and run once per record of an import, bound by
// position (0 = first placeholder).
class PreparedStatement
{
public:
    enum StepResult
    {
        Row,
        Done,
        Error
    };

    virtual ~PreparedStatement();

    virtual bool IsValid() const = 0;
    virtual bool Bind(int position, const QVariant &value) = 0;
    // Runs to the first row; afterwards Reset() before binding again.
    virtual StepResult Step() = 0;
    // How many rows the last Step() of a writing statement wrote.
    virtual int ChangedRows() const = 0;
    virtual void Reset() = 0;
};
