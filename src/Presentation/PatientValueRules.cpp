#include "PatientValueRules.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

bool PatientValueRules::ReadNumber(const QString &text, const NumberRange &range, double &value)
{
    QString number = text.trimmed();
    if (number.isEmpty()) {
        value = 0.0;
        return true;
    }
    bool ok = false;
    const double parsed =
        range.whole
            ? QLocale::c().toInt(number, &ok)
            : QLocale::c().toDouble(number.replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (!ok || !std::isfinite(parsed) || parsed < range.min || parsed > range.max)
        return false;
    value = parsed;
    return true;
}

bool PatientValueRules::IsMobileNumber(const QString &text)
{
    static const QRegularExpression kMobile(QStringLiteral("^(\\+?[0-9 -]*[0-9][0-9 -]*)?$"));
    return kMobile.match(text.trimmed()).hasMatch();
}

QString PatientValueRules::NumberText(double value)
{
    return value == 0.0 ? QString() : QStringLiteral("%1").arg(value);
}
