#pragma once

#include "PreparedStatement.h"

#include <QSqlDatabase>
#include <QSqlQuery>

// A prepared statement through the Qt query object, for drivers whose
// queries cost little beside the round trip to the server.
class QueryStatement : public PreparedStatement
{
public:
    QueryStatement(const QSqlDatabase &db, const char *sql);

    bool IsValid() const override { return m_bValid; }
    bool Bind(int position, const QVariant &value) override;
    StepResult Step() override;
    int ChangedRows() const override;
    QVariant Value(int column) const override { return m_query.value(column); }
    void Reset() override;

private:
    QSqlQuery m_query;
    bool m_bValid = false;
    bool m_bRan = false;
};
