#pragma once

#include "DatabaseRecords.h"

#include <memory>

// Holds a record chain (or a single record) until it is handed on with
// release(); frees every node otherwise.
template <typename Record> struct RecordChainDeleter
{
    void operator()(Record *head) const { FreeRecordChain(head); }
};

template <typename Record>
using RecordChainPtr = std::unique_ptr<Record, RecordChainDeleter<Record>>;

// Builds a chain in result order by appending at the tail.
template <typename Record> class RecordChainBuilder
{
public:
    void Append(Record *record)
    {
        record->pNext = nullptr;
        if (m_pTail)
            m_pTail->pNext = record;
        else
            m_head.reset(record);
        m_pTail = record;
    }
    Record *Release()
    {
        m_pTail = nullptr;
        return m_head.release();
    }

private:
    RecordChainPtr<Record> m_head;
    Record *m_pTail = nullptr;
};
