#include "PatientCodeWords.h"

#include "DatabaseRecords.h"

#include <array>

namespace {

template <std::size_t N> using WordTable = std::array<const char *, N>;

// Index 0 is the "not given" item.
constexpr WordTable<3> kGender = {"", QT_TRANSLATE_NOOP("PatientCodeWords", "Male"),
                                  QT_TRANSLATE_NOOP("PatientCodeWords", "Female")};
constexpr WordTable<3> kIdentityType = {"", QT_TRANSLATE_NOOP("PatientCodeWords", "ID Card"),
                                        QT_TRANSLATE_NOOP("PatientCodeWords", "SIN Card")};
constexpr WordTable<4> kPatientType = {"", QT_TRANSLATE_NOOP("PatientCodeWords", "Adult"),
                                       QT_TRANSLATE_NOOP("PatientCodeWords", "Ped"),
                                       QT_TRANSLATE_NOOP("PatientCodeWords", "Neo")};

QString Translate(const char *word)
{
    return *word ? QCoreApplication::translate("PatientCodeWords", word) : QString();
}

template <std::size_t N> QString Word(const WordTable<N> &table, qint32 iCode)
{
    return iCode > 0 && std::size_t(iCode) < N ? Translate(table[std::size_t(iCode)]) : QString();
}

template <std::size_t N> QStringList Items(const WordTable<N> &table)
{
    QStringList items;
    for (const char *word : table)
        items << Translate(word);
    return items;
}

} // namespace

QString PatientCodeWords::Gender(qint32 iCode)
{
    return Word(kGender, iCode);
}

QString PatientCodeWords::IdentityType(qint32 iCode)
{
    return Word(kIdentityType, iCode);
}

QString PatientCodeWords::PatientType(qint32 iCode)
{
    return Word(kPatientType, iCode);
}

QStringList PatientCodeWords::GenderItems()
{
    return Items(kGender);
}

QStringList PatientCodeWords::IdentityTypeItems()
{
    return Items(kIdentityType);
}

QStringList PatientCodeWords::PatientTypeItems()
{
    return Items(kPatientType);
}

QString PatientCodeWords::IdInDevice(quint32 iIdInDevice)
{
    return iIdInDevice == MONITOR_PSEUDO_PATIENT_ID ? tr("monitor") : QString::number(iIdInDevice);
}
