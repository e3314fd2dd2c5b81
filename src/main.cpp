#include "LocalTimeZone.h"
#include "MLog.h"
#include "MSettings.h"
#include "ProgramShutdown.h"
#include "SqliteLibrary.h"
#include "quarvelpcsoftware.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    LocalTimeZone::Pin();
    SqliteLibrary::Configure();
    // Qt 6 reads tr() texts and C strings as UTF-8 already: no codec to set.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel-monitor"));
    application.setStyleSheet(QObject::tr("QObject{font-family:Arial;}"));

    MSettings::GetInstance()->LoadSettings();
    MLog::SetOutLog(MSettings::GetInstance()->IsOutLog());
    MLog::Start(); // A log that cannot be opened leaves the program silent, nothing more.

    QuarvelPCSoftware window;
    window.show();
    const int exitCode = application.exec();
    // Closing the window has done this already, unless the loop ended otherwise.
    ProgramShutdown::Run();
    return exitCode;
}
