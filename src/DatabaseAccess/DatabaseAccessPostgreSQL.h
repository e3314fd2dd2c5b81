#pragma once

#include "DatabaseServerAddress.h"
#include "PatientStore.h"

// Opens the patient database on a PostgreSQL server, shared by several
// workstations, through Qt's "QPSQL" driver when the settings' database path
// is a server URI: connects, builds the schema of an empty database once,
// listens for the other workstations' changes, and connects again when the
// server was lost.
class DatabaseAccessPostgreSQL : public PatientStore
{
public:
    // The connection name defaults to the store's fixed one; a second store
    // in one process (as a second workstation) needs a name of its own.
    explicit DatabaseAccessPostgreSQL(const QString &connectionName = QString());

    QSqlDriver *ChangeNotifier() const override;
    bool TakeReconnected() override;

protected:
    void ReconnectIfLost() override;

private:
    uint Connect();
    uint PrepareServerSchema();

    DatabaseServerAddress m_address;
    bool m_bSchemaReady = false;
    bool m_bReconnected = false;
};
