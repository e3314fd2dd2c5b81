#include "ImportProgress.h"

#include "DeviceFrameCodec.h"

ImportProgress::ImportProgress(QObject *parent) : QObject(parent)
{
    m_trailing.setSingleShot(true);
    connect(&m_trailing, &QTimer::timeout, this, &ImportProgress::ShowPending);
}

void ImportProgress::ReadingPatientList()
{
    Show(Step{Stage::PatientList});
}

void ImportProgress::Patient(int iNumber, int iCount, unsigned short cmd)
{
    Show(Step{Stage::Patient, iNumber, iCount, cmd});
}

void ImportProgress::Storing()
{
    Show(Step{Stage::Storing});
}

void ImportProgress::Clear()
{
    m_trailing.stop();
    m_pending = Step{};
    if (m_strShown.isEmpty())
        return;
    m_strShown.clear();
    m_lastShown.invalidate();
    emit TextChanged(m_strShown);
}

// Only the step is noted here: the text is made when it is shown, a few times
// a second, not at each of the run's requests.
void ImportProgress::Show(const Step &step)
{
    m_pending = step;
    if (m_trailing.isActive())
        return;
    const qint64 since = m_lastShown.isValid() ? m_lastShown.elapsed() : kMinIntervalMs;
    if (since >= kMinIntervalMs)
        ShowPending();
    else
        m_trailing.start(static_cast<int>(kMinIntervalMs - since));
}

void ImportProgress::ShowPending()
{
    m_lastShown.start();
    const QString text = Text(m_pending);
    if (text == m_strShown)
        return;
    m_strShown = text;
    emit TextChanged(m_strShown);
}

QString ImportProgress::Text(const Step &step) const
{
    using Codec = DeviceFrameCodec;
    if (step.stage == Stage::PatientList)
        return tr("Importing: reading the monitor's patient list…");
    if (step.stage == Stage::Storing)
        return tr("Importing: storing the last records in the database…");
    if (step.stage != Stage::Patient)
        return QString();
    QString text = tr("Importing patient %1 of %2").arg(step.iNumber).arg(step.iCount);
    if (step.cmd == Codec::CMD_NIBP_DATA)
        text += tr(" (NIBP records)");
    else if (step.cmd == Codec::CMD_SPO2_DATA)
        text += tr(" (SpO2 records)");
    else if (step.cmd == Codec::CMD_TEMP_DATA)
        text += tr(" (temperature records)");
    return text + QStringLiteral("…");
}
