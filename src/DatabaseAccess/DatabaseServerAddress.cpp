#include "DatabaseServerAddress.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

const char *const kSchemes[] = {"postgresql://", "postgres://"};

QString Decoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

QString Tr(const char *text)
{
    return QCoreApplication::translate("DatabaseServerAddress", text);
}

} // namespace

bool DatabaseServerAddress::IsServerUri(const QString &setting)
{
    for (const char *scheme : kSchemes) {
        if (setting.trimmed().startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

DatabaseServerAddress DatabaseServerAddress::Parse(const QString &uri)
{
    DatabaseServerAddress address;
    QString rest = uri.trimmed();
    rest = rest.mid(rest.indexOf(QLatin1String("://")) + 3);
    const int query = rest.indexOf(QLatin1Char('?'));
    const QString parameters = query < 0 ? QString() : rest.mid(query + 1);
    rest = rest.left(query < 0 ? rest.size() : query);
    const int slash = rest.indexOf(QLatin1Char('/'));
    address.m_strDatabase = slash < 0 ? QString() : Decoded(rest.mid(slash + 1));
    QString authority = slash < 0 ? rest : rest.left(slash);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        address.m_bPassword = colon >= 0;
        address.m_strUser = Decoded(colon < 0 ? userInfo : userInfo.left(colon));
        authority = authority.mid(at + 1);
    }
    // "[::1]:5432", "db.clinic:5432", "db.clinic"; a list of hosts goes as it is.
    const int bracket = authority.lastIndexOf(QLatin1Char(']'));
    const int colon = authority.lastIndexOf(QLatin1Char(':'));
    QString port;
    if (colon > bracket && !authority.contains(QLatin1Char(','))) {
        port = authority.mid(colon + 1);
        authority = authority.left(colon);
    }
    if (authority.startsWith(QLatin1Char('[')) && authority.endsWith(QLatin1Char(']')))
        authority = authority.mid(1, authority.size() - 2);
    address.m_strHost = Decoded(authority);
    if (!port.isEmpty() && !address.TakeParameter(QStringLiteral("port"), port))
        return address;
    for (const QString &pair : parameters.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int equals = pair.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            address.m_strProblem = Tr("the parameter \"%1\" has no value").arg(pair);
            return address;
        }
        if (!address.TakeParameter(Decoded(pair.left(equals)), Decoded(pair.mid(equals + 1))))
            return address;
    }
    if (address.m_bPassword) {
        address.m_strProblem = Tr("it holds a password, which the settings file must not keep");
    } else if (address.m_strDatabase.isEmpty()) {
        address.m_strProblem = Tr("it names no database");
    }
    return address;
}

bool DatabaseServerAddress::TakeParameter(const QString &name, const QString &value)
{
    if (name == QLatin1String("host")) {
        m_strHost = value;
    } else if (name == QLatin1String("port")) {
        bool ok = false;
        m_iPort = value.toInt(&ok);
        if (!ok || m_iPort <= 0 || m_iPort > 65535) {
            m_strProblem = Tr("the port \"%1\" is no port number").arg(value);
            return false;
        }
    } else if (name == QLatin1String("user")) {
        m_strUser = value;
    } else if (name == QLatin1String("dbname")) {
        m_strDatabase = value;
    } else if (name == QLatin1String("password")) {
        m_bPassword = true;
    } else {
        m_options << name + QLatin1Char('=') + value;
    }
    return true;
}

QString DatabaseServerAddress::ServerName() const
{
    QString host = m_strHost.isEmpty() ? QStringLiteral("localhost") : m_strHost;
    if (m_iPort > 0)
        host += QLatin1Char(':') + QString::number(m_iPort);
    return host;
}
