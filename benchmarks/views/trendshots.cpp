// trendshots <folder>: writes trend-table.png, trend-day.png and trend-week.png
// for a patient shaped like the demo data (200 records every 30 minutes),
// with the views dressed as the main window dresses them.

#include "TrendGrapView.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPalette>
#include <QPixmap>

#include <cstdio>

namespace {

const QSize kPageSize(1100, 820);

void DeliverDemoLikePatient()
{
    RegularPatient(QDateTime(QDate(2026, 11, 24), QTime(10, 17, 0)), 200, 1800).Deliver();
}

void Dress(QWidget &view)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    view.setFont(font);
    QPalette palette = view.palette();
    palette.setBrush(QPalette::Window, QColor(225, 230, 242));
    view.setPalette(palette);
    view.setAutoFillBackground(true);
    view.resize(kPageSize);
    view.show();
    QCoreApplication::processEvents();
}

bool Save(QWidget &view, const QDir &folder, const char *pName)
{
    QCoreApplication::processEvents();
    const QString path = folder.filePath(QLatin1String(pName));
    const bool bSaved = view.grab().save(path);
    std::printf("%s %s\n", bSaved ? "wrote" : "FAILED", qPrintable(path));
    return bSaved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    TrendTableView table;
    TrendGrapView trend;
    Dress(table);
    Dress(trend);
    QObject::connect(PatientData::GetInstance(), &PatientData::OnPatientNIBPDataChanged, &table,
                     &TrendTableView::OnPatientNIBPDataChanged);
    QObject::connect(PatientData::GetInstance(), &PatientData::OnPatientSPO2DataChanged, &table,
                     &TrendTableView::OnPatientSPO2DataChanged);
    QObject::connect(PatientData::GetInstance(), &PatientData::OnPatientTEMPDataChanged, &table,
                     &TrendTableView::OnPatientTEMPDataChanged);
    QObject::connect(PatientData::GetInstance(), &PatientData::OnPatientTEMPDataChanged, &trend,
                     &TrendGrapView::OnPatientTEMPDataChanged);
    DeliverDemoLikePatient();

    bool bOk = Save(table, folder, "trend-table.png");
    bOk = Save(trend, folder, "trend-day.png") && bOk;
    trend.findChild<QAbstractButton *>(QStringLiteral("radioButton_Week"))->click();
    bOk = Save(trend, folder, "trend-week.png") && bOk;
    return bOk ? 0 : 1;
}
