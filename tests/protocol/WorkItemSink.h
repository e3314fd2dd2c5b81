#pragma once

#include "CommunicationProcessControl.h"
#include "DatabaseRecords.h"

#include <QObject>
#include <QUuid>
#include <QVector>

// Takes the place of the database service: keeps every work item and finished
// patient the controller hands over, and frees them as the service would.
class WorkItemSink : public QObject
{
public:
    struct Item
    {
        uint type;
        quintptr wParam;
        quintptr lParam;
    };

    explicit WorkItemSink(CommunicationProcessControl &control);
    ~WorkItemSink() override;
    WorkItemSink(const WorkItemSink &) = delete;
    WorkItemSink &operator=(const WorkItemSink &) = delete;

    QVector<Item> items;
    QVector<QUuid *> finishedPatients;
    int importFinished = 0;

    template <typename Record> Record *Chain(int index) const
    {
        return reinterpret_cast<Record *>(items.at(index).lParam);
    }
    QUuid Uuid(int index) const;
    STU_DB_PATIENT_LIST *Patient(int index) const;
};
