#pragma once

#include "DatabaseRecords.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QUuid>
#include <QVector>

// One patient of the list, as the brief record gave him.
struct PatientListEntry
{
    QUuid id;
    QString sn;
    QString idText; // the number in the device, or "monitor"
    QString name;
    QString identityCode;
    QDateTime lastUpdate;
    bool read = false;
    quint32 nibpCount = 0;
    quint32 spo2Count = 0;
    quint32 tempCount = 0;
    QDateTime newestMeasure;
};

// The patient list: one row per patient, keyed by UUID, newest insertion on
// top (row 0), never sorted. Columns SN, ID and Name; under Qt::UserRole
// column 0 answers the UUID's text as bytes and column 1 the last-update time
// in seconds since 1970; unread patients are bold.
class PatientListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PatientListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces every row by the chain (oldest first, so the last ends on top).
    void Fill(const STU_DB_PATIENT_LIST *pOldestFirst);
    // Puts the patient on top; a row he already had goes.
    void InsertAtTop(const STU_DB_PATIENT_LIST &record);
    bool Remove(const QUuid &uuid);
    // -1 when the patient is not listed.
    int RowOf(const QUuid &uuid) const;
    const PatientListEntry &EntryAt(int row) const;
    QUuid PatientAt(int row) const { return EntryAt(row).id; }
    void SetRead(const QUuid &uuid, bool read);
    bool SetName(const QUuid &uuid, const QString &name);
    // A newer brief record moves its patient to the top; one as old as the
    // row refreshes it where it is; an older one or a stranger changes nothing.
    void TakeBrief(const STU_DB_PATIENT_LIST &record);
    // Whether the row's name, ID as shown, SN or identity code holds the text
    // (case-insensitive).
    bool RowMatches(int row, const QString &text) const;
    // "Name (SN ..., ID ...)", as the row shows the patient (no SN part without one).
    QString Describe(int row) const;
    quint32 RecordCount(int row) const;

private:
    static PatientListEntry EntryOf(const STU_DB_PATIENT_LIST &record);
    QString ToolTip(const PatientListEntry &entry) const;
    int SlotOfRow(int row) const { return m_entries.size() - 1 - row; }
    void MoveToTop(int row, const STU_DB_PATIENT_LIST &record);
    void Reindex(int fromSlot);
    void RowChanged(int row);

    // Bottom row first, so that a new top row is appended and no index moves.
    QVector<PatientListEntry> m_entries;
    QHash<QUuid, int> m_slotOf;
};
