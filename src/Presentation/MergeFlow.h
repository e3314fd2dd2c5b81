#pragma once

#include "DatabaseRecords.h"

#include <QObject>

class PatientDetailInfoView;
class PatientListPanel;
class UserMessages;

// A saved patient's look-alikes: the search for them by the patient keys of
// the settings, the removed patient's row after a merge, and a merge that
// the database refused.
class MergeFlow : public QObject
{
    Q_OBJECT

public:
    MergeFlow(PatientDetailInfoView *pDetailView, PatientListPanel *pList,
              const UserMessages &messages, QObject *parent);

    // Asks for the look-alikes of the record as saved. True when keys are
    // chosen but the record has no value for any of them: nobody to compare,
    // so the save is to be confirmed at once.
    bool SearchLookAlikes(const STU_DB_PATIENT_LIST &saved);
    // Takes both UUIDs: the removed patient's row goes. True when the merge
    // was reported whole, so that the remaining patient is to be read again.
    bool TakeMerged(QUuid *puuidNew, QUuid *puuidOld);
    void TakeProcessResult(uint iWorkType, uint iErrorCode);

signals:
    // A database work item; the pointers in wParam/lParam are the receiver's.
    void DatabaseWork(uint iWorkType, quintptr wParam, quintptr lParam);

private:
    PatientDetailInfoView *m_pDetailView;
    PatientListPanel *m_pList;
    const UserMessages &m_messages;
};
