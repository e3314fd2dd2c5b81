#include "DatabaseRecords.h"

#include <algorithm>

void SetRecordText(char16_t *field, std::size_t capacity, const QString &value)
{
    std::fill(field, field + capacity, u'\0');
    if (capacity == 0)
        return;
    std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(value.size()), capacity - 1);
    // Cutting between the halves of a surrogate pair would leave half a character.
    if (length > 0 && length < static_cast<std::size_t>(value.size()) &&
        value.at(static_cast<qsizetype>(length - 1)).isHighSurrogate())
        --length;
    const char16_t *source = reinterpret_cast<const char16_t *>(value.utf16());
    std::copy(source, source + length, field);
}

QString GetRecordText(const char16_t *field, std::size_t capacity)
{
    std::size_t length = 0;
    while (length < capacity && field[length] != u'\0')
        ++length;
    return QString::fromUtf16(field, static_cast<qsizetype>(length));
}

void RegisterDatabaseMetaTypes()
{
    qRegisterMetaType<STU_DB_PATIENT_LIST *>("STU_DB_PATIENT_LIST*");
    qRegisterMetaType<STU_DB_NIBP_DATA_LIST *>("STU_DB_NIBP_DATA_LIST*");
    qRegisterMetaType<STU_DB_SPO2_DATA_LIST *>("STU_DB_SPO2_DATA_LIST*");
    qRegisterMetaType<STU_DB_TEMP_DATA_LIST *>("STU_DB_TEMP_DATA_LIST*");
    qRegisterMetaType<QUuid *>("QUuid*");
}
