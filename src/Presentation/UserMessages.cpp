#include "UserMessages.h"

#include "ComOpenError.h"
#include "DatabaseRecords.h"
#include "DatabaseServerAddress.h"
#include "MLog.h"
#include "MSettings.h"
#include "PatientListModel.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// More names would push the buttons off the screen.
constexpr int kMaxNamedPatients = 15;

} // namespace

void UserMessages::Show(const QString &title, const QString &text, const QString &informative) const
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_pParent);
    box.setInformativeText(informative);
    box.exec();
}

void UserMessages::ImportFinished(const QString &summary) const
{
    Show(tr("Import"), tr("Import patient data successfully!"), summary);
}

void UserMessages::ImportFailed(uint iPatientsNotStored, uint iRecordsNotStored) const
{
    const QString patients =
        iPatientsNotStored == 1 ? tr("1 patient") : tr("%1 patients").arg(iPatientsNotStored);
    const QString records =
        iRecordsNotStored == 1 ? tr("1 record") : tr("%1 records").arg(iRecordsNotStored);
    Show(tr("Import"), tr("Import failed: %1 and %2 could not be stored in the database.\n\n"
                          "The log (%3) says why. Records already stored are kept; once the cause "
                          "is mended, press Import again to store the rest.")
                           .arg(patients, records, MLog::GetFilePath()));
}

void UserMessages::ImportStalled() const
{
    Show(tr("Import"), tr("The monitor stopped answering, so the import was stopped.\n\n"
                          "Check the cable and press Import again. Records already stored are kept "
                          "and are not imported twice."));
}

void UserMessages::DeviceOpenFailed(int iError, const QString &strPort) const
{
    QString text;
    if (iError == COM_OPEN_ACCESS_DENIED)
        text = tr("The monitor's port %1 cannot be opened: this user has no permission to use "
                  "it, or another program is using it.\n\n"
                  "Add the user to the \"dialout\" group (sudo usermod -aG dialout $USER, then "
                  "log out and in again), or close the other program; then press Import again.")
                   .arg(strPort);
    else if (iError == COM_OPEN_NOT_FOUND)
        text = tr("The monitor's port %1 cannot be found.\n\n"
                  "Unplug the monitor, plug it in again and press Import.")
                   .arg(strPort);
    else
        text = tr("The monitor's port %1 cannot be opened.\n\n"
                  "Unplug the monitor, plug it in again and press Import. The log (%2) holds "
                  "the details.")
                   .arg(strPort, MLog::GetFilePath());
    Show(tr("Import"), text);
}

void UserMessages::DatabaseOpenFailed(uint iErrorCode, const QString &strReason) const
{
    // A server that could not be reached is tried again at the next database work.
    const bool triedAgain =
        iErrorCode == DB_ERR_OPEN &&
        DatabaseServerAddress::IsServerUri(MSettings::GetInstance()->GetDatabaseFilePath());
    const QString next =
        triedAgain ? tr("The program keeps running and connects to the server again by itself "
                        "the next time patient data is read or stored; nothing needs to be "
                        "restarted.")
                   : tr("The program keeps running, but patient data cannot be shown or stored "
                        "until the database can be used and the program is started again.");
    Show(tr("Database"), strReason + QStringLiteral("\n\n") + next);
}

void UserMessages::MergeFailed() const
{
    // The merge runs in one transaction, so a failure has changed nothing.
    Show(tr("Merge"), tr("The patients could not be merged. Both patients are unchanged."));
}

void UserMessages::ExportRefused() const
{
    Show(tr("Save Patient Information"), tr("Please select a patient to export data!"));
}

void UserMessages::ExportStillLoading() const
{
    Show(tr("Export"), tr("The records of this patient are still being loaded, "
                          "so nothing was exported. Please try again."));
}

void UserMessages::PrintStillLoading() const
{
    Show(tr("Print"), tr("The records of this patient are still being loaded, "
                         "so nothing was printed. Please try again."));
}

void UserMessages::ExportDone(const QString &folder, bool bSucceeded) const
{
    // A file that could not be written must not be reported as exported.
    const QString text = bSucceeded
                             ? tr("Export Patient Data to '") + folder + tr("' successfully!")
                             : tr("Export Patient Data to '") + folder + tr("' failed!");
    Show(tr("Export"), text);
}

void UserMessages::PrintRefused() const
{
    Show(tr("Save Patient Information"), tr("Please select a patient to print!"));
}

void UserMessages::SettingsPathEmpty() const
{
    Show(tr("Settings"), tr("Please choose a folder for the exported files: the "
                            "export path cannot be empty. Nothing has been saved."));
}

bool UserMessages::ConfirmDelete(const PatientListModel &list, const QList<int> &rows) const
{
    QStringList lines;
    for (int row : rows.mid(0, kMaxNamedPatients)) {
        const quint32 records = list.RecordCount(row);
        const QString patient = list.Describe(row);
        lines << (records == 1 ? tr("%1: 1 record").arg(patient)
                               : tr("%1: %2 records").arg(patient).arg(records));
    }
    if (rows.size() > kMaxNamedPatients)
        lines << tr("and %1 more").arg(rows.size() - kMaxNamedPatients);
    const QString question =
        rows.size() == 1
            ? tr("Delete this patient and all his records? This cannot be undone.")
            : tr("Delete these %1 patients and all their records? This cannot be undone.")
                  .arg(rows.size());
    QMessageBox box(QMessageBox::Question, tr("Delete"),
                    question + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')),
                    QMessageBox::NoButton, m_pParent);
    QPushButton *deleteButton = box.addButton(tr("Delete"), QMessageBox::DestructiveRole);
    QPushButton *cancelButton = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancelButton);
    box.setEscapeButton(cancelButton);
    box.exec();
    return box.clickedButton() == deleteButton;
}
