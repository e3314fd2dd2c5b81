#include "PatientReportContent.h"

#include "PatientCodeWords.h"
#include "TrendTableColumns.h"

#include "DatabaseRecords.h"
#include "PatientData.h"

#include <algorithm>
#include <vector>

namespace {

// A value as the Table page writes it: whole numbers plainly, temperatures
// through a float's six significant digits (36.6, not 36.59999).
QString ValueText(double value)
{
    return QStringLiteral("%1").arg(value);
}

// Minimum, maximum, sum and last value of each value column.
struct ColumnFigures
{
    std::vector<double> minimum, maximum, sum, last;

    void Add(const std::vector<double> &values)
    {
        if (last.empty()) {
            minimum = maximum = values;
            sum.assign(values.size(), 0.0);
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            minimum[i] = std::min(minimum[i], values[i]);
            maximum[i] = std::max(maximum[i], values[i]);
            sum[i] += values[i];
        }
        last = values;
    }
};

QStringList Texts(const std::vector<double> &values)
{
    QStringList texts;
    for (double value : values)
        texts << ValueText(value);
    return texts;
}

} // namespace

PatientReportContent::PatientReportContent(const PatientData &data, const QDateTime &from,
                                           const QDateTime &to)
    : m_from(from), m_to(to)
{
    if (const STU_DB_PATIENT_LIST *pPatient = data.GetCurrentPatient())
        ReadDetails(*pPatient);
    // Titles, headers and cells as on the Table page.
    m_sections << Collect(data.GetNIBPDataList(), 1);
    m_sections.last().strTitle = tr("NIBP");
    m_sections << Collect(data.GetSPO2DataList(), 1);
    m_sections.last().strTitle = tr("SPO2");
    m_sections << Collect(data.GetTEMPDataList(), 2);
    m_sections.last().strTitle = tr("TEMP");
}

void PatientReportContent::ReadDetails(const STU_DB_PATIENT_LIST &p)
{
    m_bHasPatient = true;
    m_strPatientName = GetRecordText(p.Name);
    const auto number = [](double value) { return ValueText(value); };
    m_details = {
        {tr("Device SN:"), GetRecordText(p.DeviceSN)},
        {tr("ID:"), PatientCodeWords::IdInDevice(p.IdInDevice)},
        {tr("Name:"), m_strPatientName},
        {tr("Gender:"), PatientCodeWords::Gender(p.Gender)},
        {tr("Height(cm):"), number(double(p.Height))},
        {tr("Weight(kg):"), number(double(p.Weight))},
        {tr("Mobile:"), GetRecordText(p.Mobile)},
        {tr("Doctor:"), GetRecordText(p.Doctor)},
        {tr("Identity Type:"), PatientCodeWords::IdentityType(p.IdentityType)},
        {tr("Identity Code:"), GetRecordText(p.IdentityCode)},
        {tr("Society Code:"), GetRecordText(p.SocietyCode)},
        {tr("Patient Type:"), PatientCodeWords::PatientType(p.PatientType)},
        {tr("Age:"), QString::number(p.Age)},
        {tr("Address:"), GetRecordText(p.Address)},
    };
}

template <typename Record>
PatientReportSection PatientReportContent::Collect(const Record *pChain, int iMeanDecimals) const
{
    const QVector<TrendTableColumn> &columns = TrendTableColumns::Of(pChain);
    PatientReportSection section;
    for (const TrendTableColumn &column : columns)
        section.headers << TrendTableColumns::Title(column, false);
    ColumnFigures figures;
    for (const Record *p = pChain; p; p = p->pNext) {
        if (!InPeriod(p->MeasureTime))
            continue;
        std::vector<double> values;
        QStringList row;
        for (int i = 0; i < columns.size(); ++i) {
            row << TrendTableColumns::Text(*p, i);
            if (i > 0)
                values.push_back(TrendTableColumns::Value(*p, i));
        }
        figures.Add(values);
        section.rows << row;
        if (!section.firstTime.isValid())
            section.firstTime = p->MeasureTime;
        section.lastTime = p->MeasureTime;
    }
    section.minimum = Texts(figures.minimum);
    section.maximum = Texts(figures.maximum);
    section.lastValue = Texts(figures.last);
    for (double sum : figures.sum)
        section.mean << QString::number(sum / section.rows.size(), 'f', iMeanDecimals);
    return section;
}

bool PatientReportContent::InPeriod(const QDateTime &time) const
{
    return (!m_from.isValid() || time >= m_from) && (!m_to.isValid() || time < m_to);
}

QString PatientReportContent::PeriodText() const
{
    if (!m_from.isValid() && !m_to.isValid())
        return tr("All records");
    const QString from = m_from.isValid() ? TimeText(m_from) : tr("the first record");
    const QString to = m_to.isValid() ? TimeText(m_to) : tr("the last record");
    return tr("%1 to %2").arg(from, to);
}

bool PatientReportContent::IsEmpty() const
{
    return std::all_of(m_sections.cbegin(), m_sections.cend(),
                       [](const PatientReportSection &s) { return s.rows.isEmpty(); });
}

QString PatientReportContent::TimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
