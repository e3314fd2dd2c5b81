#pragma once

#include <QString>
#include <QStringList>

// A PostgreSQL server and database named the way libpq writes a connection
// URI: "postgresql://[user@][host][:port]/dbname[?name=value&...]", for
// example "postgresql://clinic@/vantrel?host=/run/postgresql" for a local
// server reached through its Unix socket. Passwords are never taken from it:
// the server's own mechanisms supply them (the password file, peer or
// certificate authentication).
class DatabaseServerAddress
{
public:
    // Whether the database setting names a server rather than a folder.
    static bool IsServerUri(const QString &setting);
    static DatabaseServerAddress Parse(const QString &uri);

    // Empty when the address can be used; else why not, in plain words.
    QString Problem() const { return m_strProblem; }
    bool HasPassword() const { return m_bPassword; }

    QString Host() const { return m_strHost; }
    int Port() const { return m_iPort; }
    QString User() const { return m_strUser; }
    QString Database() const { return m_strDatabase; }
    // The other parameters, as the driver's connect options.
    QString ConnectOptions() const { return m_options.join(QLatin1Char(';')); }
    // The server as the user and the log are told it (never a password).
    QString ServerName() const;

private:
    bool TakeParameter(const QString &name, const QString &value);

    QString m_strProblem;
    bool m_bPassword = false;
    QString m_strHost;
    int m_iPort = -1;
    QString m_strUser;
    QString m_strDatabase;
    QStringList m_options;
};
