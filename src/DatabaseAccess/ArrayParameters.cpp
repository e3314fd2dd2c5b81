#include "ArrayParameters.h"

bool ArrayParameters::Bind(int position, const QVariant &value)
{
    while (m_arrays.size() <= position)
        m_arrays.append(QStringList());
    if (value.isNull()) {
        m_arrays[position].append(QStringLiteral("NULL"));
        return true;
    }
    QString text = value.toString();
    // Quoted, so that no text is taken for NULL or splits at a comma.
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    m_arrays[position].append(QLatin1Char('"') + text + QLatin1Char('"'));
    return true;
}

QString ArrayParameters::Literal(int position) const
{
    const QStringList values = position < m_arrays.size() ? m_arrays.at(position) : QStringList();
    return QLatin1Char('{') + values.join(QLatin1Char(',')) + QLatin1Char('}');
}
