#include "ImportProgress.h"

#include "DeviceFrameCodec.h"

ImportProgress::ImportProgress(QObject *parent) : QObject(parent)
{
    m_trailing.setSingleShot(true);
    connect(&m_trailing, &QTimer::timeout, this, &ImportProgress::ShowPending);
}

void ImportProgress::ReadingPatientList()
{
    Show(tr("Importing: reading the monitor's patient list…"));
}

void ImportProgress::Patient(int iNumber, int iCount, unsigned short cmd)
{
    using Codec = DeviceFrameCodec;
    QString text = tr("Importing patient %1 of %2").arg(iNumber).arg(iCount);
    if (cmd == Codec::CMD_NIBP_DATA)
        text += tr(" (NIBP records)");
    else if (cmd == Codec::CMD_SPO2_DATA)
        text += tr(" (SpO2 records)");
    else if (cmd == Codec::CMD_TEMP_DATA)
        text += tr(" (temperature records)");
    Show(text + QStringLiteral("…"));
}

void ImportProgress::Storing()
{
    Show(tr("Importing: storing the last records in the database…"));
}

void ImportProgress::Clear()
{
    m_trailing.stop();
    m_strPending.clear();
    if (m_strShown.isEmpty())
        return;
    m_strShown.clear();
    m_lastShown.invalidate();
    emit TextChanged(m_strShown);
}

void ImportProgress::Show(const QString &strText)
{
    m_strPending = strText;
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
    if (m_strPending == m_strShown)
        return;
    m_strShown = m_strPending;
    emit TextChanged(m_strShown);
}
