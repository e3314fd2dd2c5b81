#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

// Info: the program's name and version, the Qt version, the database in use,
// the settings and log files and the monitor's port, for a support call.
class AboutBox
{
    Q_DECLARE_TR_FUNCTIONS(AboutBox)

public:
    // Modal information box; portPath is the open monitor port, empty when
    // none is connected.
    static void Show(QWidget *parent, const QString &portPath);

    // "Vantrel Monitor" and the version of this build.
    static QString Heading();
    // One fact per line. A server address is named by host, port and
    // database, never with a password.
    static QString Details(const QString &portPath);

private:
    static QString DatabaseText();
};
