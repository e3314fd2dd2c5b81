#pragma once

// The records that carry a patient and his measurements between the import,
// the database thread and the views, the numbered database work items and the
// result codes of the database layer.
//
// Every record is a plain structure created with new, zero-initialised in full,
// and at the same time a node of a singly linked chain (pNext). Records cross
// threads only as pointers inside queued signals; the receiver owns them.

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QtGlobal>

#include <cstddef>

struct STU_DB_PATIENT_LIST
{
    QUuid PatientID;
    char16_t DeviceSN[32] = {};
    quint32 IdInDevice = 0;
    char16_t Name[32] = {};
    qint32 Gender = 0;
    float Height = 0.0f;
    float Weight = 0.0f;
    char16_t Mobile[32] = {};
    char16_t Doctor[32] = {};
    qint32 IdentityType = 0;
    char16_t IdentityCode[64] = {};
    char16_t SocietyCode[64] = {};
    qint32 PatientType = 0;
    qint32 Age = 0;
    char16_t Address[256] = {};
    QDateTime LastUpdateTime;
    bool ReadFlag = false;
    STU_DB_PATIENT_LIST *pNext = nullptr;
    // Filled by the brief-record reads only: what tells look-alike rows apart.
    quint32 NIBPCount = 0;
    quint32 SPO2Count = 0;
    quint32 TEMPCount = 0;
    QDateTime NewestMeasureTime;
};

struct STU_DB_NIBP_DATA_LIST
{
    qint32 ID = 0;
    QDateTime MeasureTime;
    quint16 SysValue = 0;
    quint16 DiaValue = 0;
    quint16 MeanValue = 0;
    quint16 PrValue = 0;
    STU_DB_NIBP_DATA_LIST *pNext = nullptr;
};

struct STU_DB_SPO2_DATA_LIST
{
    qint32 ID = 0;
    QDateTime MeasureTime;
    quint16 SPO2Value = 0;
    quint16 PrValue = 0;
    STU_DB_SPO2_DATA_LIST *pNext = nullptr;
};

struct STU_DB_TEMP_DATA_LIST
{
    qint32 ID = 0;
    QDateTime MeasureTime;
    float TempValue = 0.0f;
    STU_DB_TEMP_DATA_LIST *pNext = nullptr;
};

// The monitor's own pseudo-patient, requested as id -1 and shown as "monitor".
constexpr quint32 MONITOR_PSEUDO_PATIENT_ID = 0xFFFFFFFFu;

// Work types of a database work item (iWorkType). The two parameters travel as
// pointer-sized integers so that a pointer is never cut on a 64-bit build.
enum DB_WORK_TYPE : uint
{
    DB_WORK_INSERT_NEW_PATIENT = 1,
    DB_WORK_DELETE_PATIENT = 2,
    DB_WORK_UPDATE_PATIENT = 3,
    DB_WORK_GET_ALL_PATIENT_BRIEF = 4,
    DB_WORK_INSERT_NIBP_DATA = 5,
    DB_WORK_GET_NIBP_DATA = 6,
    DB_WORK_INSERT_TEMP_DATA = 7,
    DB_WORK_GET_TEMP_DATA = 8,
    DB_WORK_INSERT_SPO2_DATA = 9,
    DB_WORK_GET_SPO2_DATA = 10,
    DB_WORK_GET_ONE_PATIENT_DETAIL = 12,
    DB_WORK_SEARCH_PATIENT_TO_MERGE = 13,
    DB_WORK_MERGE_PATIENT_DATA = 14,
    DB_WORK_GET_ONE_PATIENT_BRIEF = 15,
    DB_WORK_UPDATE_BROWSER_FLAG = 16,
};

// Result codes of every store operation and of OnDatabaseProcessResult.
enum DB_RESULT_CODE : uint
{
    DB_OK = 0,
    DB_ERR_UNSUPPORTED = 1,
    DB_ERR_DRIVER_OR_PATH = 2,
    DB_ERR_OPEN = 4,
    DB_ERR_CREATE_TABLES = 5,
    DB_ERR_INSERT_PATIENT = 6,
    DB_ERR_DELETE_PATIENT = 7,
    DB_ERR_UPDATE_PATIENT = 8,
    DB_ERR_GET_ALL_PATIENT_BRIEF = 9,
    DB_ERR_GET_PATIENT = 10,
    DB_ERR_INSERT_NIBP = 11,
    DB_ERR_GET_NIBP = 12,
    DB_ERR_INSERT_SPO2 = 13,
    DB_ERR_GET_SPO2 = 14,
    DB_ERR_INSERT_TEMP = 15,
    DB_ERR_GET_TEMP = 16,
    DB_ERR_SELF_CHECK = 17,
    DB_ERR_NULL_PARAMETER = 18,
    DB_ERR_PATIENT_EXISTS = 19,
    DB_ERR_SEARCH_TO_MERGE = 20,
    DB_ERR_MERGE = 21,
    DB_ERR_UPDATE_LAST_IMPORT_TIME = 22,
    DB_ERR_UPDATE_BROWSER_FLAG = 23,
};

// Merge key bits (wParam of DB_WORK_SEARCH_PATIENT_TO_MERGE): bit i asks for
// equality in column i + 1 of the Patient table.
enum MERGE_KEY_BITS : uint
{
    MERGE_KEY_DEVICE_SN = 0x0001,
    MERGE_KEY_ID_IN_DEVICE = 0x0002,
    MERGE_KEY_NAME = 0x0004,
    MERGE_KEY_GENDER = 0x0008,
    MERGE_KEY_HEIGHT = 0x0010,
    MERGE_KEY_WEIGHT = 0x0020,
    MERGE_KEY_MOBILE = 0x0040,
    MERGE_KEY_DOCTOR = 0x0080,
    MERGE_KEY_IDENTITY_TYPE = 0x0100,
    MERGE_KEY_IDENTITY_CODE = 0x0200,
    MERGE_KEY_SOCIETY_CODE = 0x0400,
    MERGE_KEY_PATIENT_TYPE = 0x0800,
    MERGE_KEY_AGE = 0x1000,
    MERGE_KEY_ADDRESS = 0x2000,
};

// Copies a value into a fixed text field. A value that does not fit is cut so
// that the terminating zero always stays; a surrogate pair is never split.
void SetRecordText(char16_t *field, std::size_t capacity, const QString &value);

// Reads a fixed text field up to its first zero unit.
QString GetRecordText(const char16_t *field, std::size_t capacity);

template <std::size_t N> void SetRecordText(char16_t (&field)[N], const QString &value)
{
    SetRecordText(field, N, value);
}

template <std::size_t N> QString GetRecordText(const char16_t (&field)[N])
{
    return GetRecordText(field, N);
}

// Frees every node of a chain, following pNext. A null chain is fine.
template <typename Record> void FreeRecordChain(Record *head)
{
    while (head) {
        Record *next = head->pNext;
        delete head;
        head = next;
    }
}

// A new record with the same fields, detached from any chain.
template <typename Record> Record *CopyRecord(const Record &record)
{
    Record *copy = new Record(record);
    copy->pNext = nullptr;
    return copy;
}

// Counts the nodes of a chain.
template <typename Record> int RecordChainLength(const Record *head)
{
    int count = 0;
    for (; head; head = head->pNext)
        ++count;
    return count;
}

// Makes the pointer types known to Qt's meta-type system so queued signals can
// carry them. Safe to call more than once.
void RegisterDatabaseMetaTypes();

Q_DECLARE_METATYPE(STU_DB_PATIENT_LIST *)
Q_DECLARE_METATYPE(STU_DB_NIBP_DATA_LIST *)
Q_DECLARE_METATYPE(STU_DB_SPO2_DATA_LIST *)
Q_DECLARE_METATYPE(STU_DB_TEMP_DATA_LIST *)
Q_DECLARE_METATYPE(QUuid *)
