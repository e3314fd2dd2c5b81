#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The words for the coded patient fields, kept in one place for the detail
// form's combo boxes, the merge dialog and the export. A coded field holds the
// index of its combo box item; 0 (and any code without a word) means not given
// and reads as the empty text.
class PatientCodeWords
{
    Q_DECLARE_TR_FUNCTIONS(PatientCodeWords)

public:
    static QString Gender(qint32 iCode);
    static QString IdentityType(qint32 iCode);
    static QString PatientType(qint32 iCode);

    // The combo box items in code order, the empty "not given" item first.
    static QStringList GenderItems();
    static QStringList IdentityTypeItems();
    static QStringList PatientTypeItems();

    // The patient's id on the monitor: "monitor" for the monitor's own
    // pseudo-patient, otherwise the number.
    static QString IdInDevice(quint32 iIdInDevice);
};
