#include "AboutBox.h"

#include "DatabaseServerAddress.h"
#include "MLog.h"
#include "MSettings.h"

#include <QDir>
#include <QMessageBox>

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "unknown"
#endif

QString AboutBox::Heading()
{
    return tr("Vantrel Monitor %1").arg(QLatin1String(VANTREL_VERSION));
}

QString AboutBox::Details(const QString &portPath)
{
    QString log = tr("Log file: %1").arg(QDir::toNativeSeparators(MLog::GetFilePath()));
    if (!MLog::IsOutLog())
        log += tr(" (logging is switched off)");
    const QStringList lines{
        tr("Qt %1").arg(QLatin1String(qVersion())),
        DatabaseText(),
        tr("Settings file: %1").arg(QDir::toNativeSeparators(MSettings::GetFilePath())),
        log,
        portPath.isEmpty() ? tr("No monitor connected")
                           : tr("Monitor connected on %1").arg(portPath),
    };
    return lines.join(QLatin1Char('\n'));
}

// Built from the parsed address: the setting's text may hold a password.
QString AboutBox::DatabaseText()
{
    const QString setting = MSettings::GetInstance()->GetDatabaseFilePath();
    if (!DatabaseServerAddress::IsServerUri(setting)) {
        const QString file = QDir(setting).filePath(QStringLiteral("Data.db"));
        return tr("Database: SQLite file %1").arg(QDir::toNativeSeparators(file));
    }
    const DatabaseServerAddress address = DatabaseServerAddress::Parse(setting);
    QString text = tr("Database: PostgreSQL database \"%1\" on %2")
                       .arg(address.Database(), address.ServerName());
    if (!address.User().isEmpty())
        text += tr(" as user %1").arg(address.User());
    return text;
}

void AboutBox::Show(QWidget *parent, const QString &portPath)
{
    QMessageBox box(QMessageBox::Information, tr("About Vantrel Monitor"), Heading(),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setInformativeText(Details(portPath));
    // The lines are for a support call: let them be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}
