#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;
class PatientListModel;

// The information boxes the main window shows about the import, the monitor's
// port, the database, the merge, the export and the settings: each modal,
// with the information icon and one OK button, over the window.
class UserMessages
{
    Q_DECLARE_TR_FUNCTIONS(UserMessages)

public:
    explicit UserMessages(QWidget *pParent) : m_pParent(pParent) {}

    void Show(const QString &title, const QString &text,
              const QString &informative = QString()) const;

    void ImportFinished(const QString &summary) const;
    void ImportFailed(uint iPatientsNotStored, uint iRecordsNotStored) const;
    void ImportStalled() const;
    void DeviceOpenFailed(int iError, const QString &strPort) const;
    void DatabaseOpenFailed(uint iErrorCode, const QString &strReason) const;
    void MergeFailed() const;
    void ExportRefused() const;
    void ExportStillLoading() const;
    void ExportDone(const QString &folder, bool bSucceeded) const;
    void PrintRefused() const;
    void PrintStillLoading() const;
    void SettingsPathEmpty() const;
    // Names the patients of these rows with their record counts and asks
    // whether to delete them; Cancel is the default and the Escape answer.
    bool ConfirmDelete(const PatientListModel &list, const QList<int> &rows) const;

private:
    QWidget *m_pParent;
};
