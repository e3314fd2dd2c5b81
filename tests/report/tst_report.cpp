#include "ModalWatcher.h"
#include "PatientReport.h"
#include "PatientReportPreview.h"
#include "TrendGrapView.h"
#include "TrendPatient.h"

#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

STU_DB_PATIENT_LIST *DetailedPatient()
{
    STU_DB_PATIENT_LIST *p = NewPatient(QStringLiteral("Ana Lindqvist"));
    SetRecordText(p->DeviceSN, QStringLiteral("VM2041"));
    p->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    p->Gender = 2;
    p->IdentityType = 1;
    p->PatientType = 3;
    p->Height = 168.5f;
    SetRecordText(p->Address, QStringLiteral("12 Harbour Lane, Portwick"));
    return p;
}

// A model of its own holding the patient with the records.
void Fill(PatientData &model, STU_DB_PATIENT_LIST *pPatient, const TrendPatient &records)
{
    const QUuid id = pPatient->PatientID;
    model.SetCurrentPatient(pPatient);
    AnswerLists(model, id, TrendPatient::Chain<STU_DB_NIBP_DATA_LIST>(records.nibp),
                TrendPatient::Chain<STU_DB_SPO2_DATA_LIST>(records.spo2),
                TrendPatient::Chain<STU_DB_TEMP_DATA_LIST>(records.temp));
}

// Standard output of a poppler tool.
QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of one page (0: all), columns kept apart by blanks as laid out.
QString PdfText(const QString &path, int iPage = 0)
{
    QStringList arguments{QStringLiteral("-layout")};
    if (iPage > 0)
        arguments << "-f" << QString::number(iPage) << "-l" << QString::number(iPage);
    return Run(QStringLiteral("pdftotext"), arguments << path << QStringLiteral("-"));
}

// The words of a table row, however wide the layout spaced them.
bool HasRow(const QString &text, const QStringList &cells)
{
    QStringList escaped;
    for (const QString &cell : cells)
        escaped << QRegularExpression::escape(cell);
    return QRegularExpression(escaped.join(QStringLiteral("\\s+"))).match(text).hasMatch();
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private:
    // Writes the report as a PDF file; returns its path.
    QString Print(const PatientData &model, const QDateTime &from, const QDateTime &to,
                  QPageSize::PageSizeId size = QPageSize::A4, int *piPages = nullptr)
    {
        const PatientReportContent content(model, from, to);
        TrendGrapView trend;
        PatientReport report(content, trend.NIBPPlot(), trend.SPO2Plot(), trend.TEMPPlot());
        report.SetPrintTime(At(QStringLiteral("2026-12-08T09:30:00")));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir.filePath(QStringLiteral("report%1.pdf").arg(++m_iFiles)));
        printer.setPageSize(QPageSize(size));
        PatientReport::PreparePrinter(&printer);
        const int iPages = report.Print(&printer);
        if (piPages)
            *piPages = iPages;
        return printer.outputFileName();
    }

    QTemporaryDir m_dir;
    int m_iFiles = 0;

private slots:
    void reportShowsDetailsAndFiguresOfThePeriod();
    void longReportRepeatsHeadersAndCountsPages_data();
    void longReportRepeatsHeadersAndCountsPages();
    void periodWithoutRecordsSaysSo();
    void previewOpensForTheCurrentPatient();
};

void TestReport::reportShowsDetailsAndFiguresOfThePeriod()
{
    TrendPatient records;
    // Records before the period's start and at its (excluded) end stay out.
    records.nibp = {{At("2026-03-02T07:59:59"), 250, 150, 180, 150},
                    {At("2026-03-02T08:05:09"), 120, 80, 93, 72},
                    {At("2026-03-02T09:00:00"), 130, 85, 100, 80},
                    {At("2026-03-02T10:30:00"), 110, 71, 84, 65},
                    {At("2026-03-03T08:00:00"), 40, 20, 30, 200}};
    records.spo2 = {{At("2026-03-02T08:10:00"), 97, 70}, {At("2026-03-02T12:00:00"), 94, 88}};
    records.temp = {{At("2026-03-02T08:15:00"), 36.6f}, {At("2026-03-02T20:00:00"), 37.3f}};
    PatientData model;
    Fill(model, DetailedPatient(), records);
    const QString text =
        PdfText(Print(model, At("2026-03-02T08:00:00"), At("2026-03-03T08:00:00")));

    for (const char *expected :
         {"Vantrel Monitor", "Printed: 2026-12-08 09:30:00",
          "Period: 2026-03-02 08:00:00 to 2026-03-03 08:00:00", "Ana Lindqvist", "mmHg",
          "Address: 12 Harbour Lane, Portwick",
          "NIBP: 3 records, first 2026-03-02 08:05:09, last 2026-03-02 10:30:00",
          "TEMP: 2 records, first 2026-03-02 08:15:00, last 2026-03-02 20:00:00"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    const QList<QStringList> rows{
        {"ID:", "monitor", "Identity Type:", "ID Card"},
        {"Device SN:", "VM2041"},
        {"Gender:", "Female"},
        {"Patient Type:", "Neo"},
        {"Height(cm):", "168.5"},
        {"Sys", "Dia", "Mean", "Pr"},
        {"Minimum", "110", "71", "84", "65"},
        {"Maximum", "130", "85", "100", "80"},
        {"Mean", "120.0", "78.7", "92.3", "72.3"},
        {"Last value", "110", "71", "84", "65"},
        {"Mean", "95.5", "79.0"},
        {"Mean", "36.95"},
        {"Maximum", "37.3"},
        {"Time", "Sys", "Dia", "Mean", "Pr"},
        {"2026-03-02 08:05:09", "120", "80", "93", "72"},
        {"2026-03-02 10:30:00", "110", "71", "84", "65"},
        {"2026-03-02 12:00:00", "94", "88"},
        {"2026-03-02 08:15:00", "36.6"},
    };
    for (const QStringList &row : rows)
        QVERIFY2(HasRow(text, row), qPrintable(row.join(' ')));
    QVERIFY(!text.contains(QLatin1String("07:59:59")));
    QVERIFY(!text.contains(QLatin1String("2026-03-03 08:00:00 ")));
}

void TestReport::longReportRepeatsHeadersAndCountsPages_data()
{
    QTest::addColumn<QPageSize::PageSizeId>("size");
    QTest::addColumn<QString>("sizeName");
    QTest::newRow("A4") << QPageSize::A4 << "A4";
    QTest::newRow("Letter") << QPageSize::Letter << "letter";
}

void TestReport::longReportRepeatsHeadersAndCountsPages()
{
    QFETCH(QPageSize::PageSizeId, size);
    QFETCH(QString, sizeName);
    TrendPatient records;
    for (int i = 0; i < 400; ++i)
        records.nibp.push_back({At("2026-01-01T08:00").addSecs(600 * i), 100 + i % 50, 70, 85, 60});
    PatientData model;
    Fill(model, NewPatient(QStringLiteral("Long Record")), records);
    int iPrinted = 0;
    const QString path = Print(model, QDateTime(), QDateTime(), size, &iPrinted);

    const QString info = Run(QStringLiteral("pdfinfo"), {path});
    const int iPages = QRegularExpression("Pages:\\s*(\\d+)").match(info).captured(1).toInt();
    QVERIFY2(iPages >= 4, qPrintable(info));
    QCOMPARE(iPrinted, iPages);
    QVERIFY(QRegularExpression("Page size:.*" + sizeName).match(info).hasMatch());
    QVERIFY(PdfText(path, 1).contains(QStringLiteral("Page 1 of %1").arg(iPages)));
    QVERIFY(PdfText(path).contains(QLatin1String("SPO2: no records in this period")));
    QVERIFY(HasRow(PdfText(path), {"2026-01-01 08:00:00", "100", "70", "85", "60"}));
    // Every page of the table starts with its header row and is numbered.
    for (int iPage = 2; iPage <= iPages; ++iPage) {
        const QString page = PdfText(path, iPage);
        QVERIFY(page.contains(QStringLiteral("Page %1 of %2").arg(iPage).arg(iPages)));
        QVERIFY2(HasRow(page, {"Time", "Sys", "Dia", "Mean", "Pr"}), qPrintable(page));
        QVERIFY(page.contains(QLatin1String("Long Record")));
    }
    QVERIFY(HasRow(PdfText(path, iPages), {"2026-01-04 02:30:00", "149", "70", "85", "60"}));
}

void TestReport::periodWithoutRecordsSaysSo()
{
    TrendPatient records;
    records.temp = {{At("2026-03-02T08:15:00"), 36.6f}};
    PatientData model;
    Fill(model, DetailedPatient(), records);
    const QString text = PdfText(Print(model, At("2027-01-01T08:00"), At("2027-01-02T08:00")));
    QVERIFY(text.contains(QLatin1String("No records in this period")));
    QVERIFY(text.contains(QLatin1String("Ana Lindqvist")));
    QVERIFY(text.contains(QLatin1String("Page 1 of 1")));
    QVERIFY(!text.contains(QLatin1String("Time")));
}

void TestReport::previewOpensForTheCurrentPatient()
{
    PatientData::GetInstance()->SetCurrentPatient(DetailedPatient());
    ModalWatcher watcher;
    bool bPreview = false;
    watcher.AddDialogAction([&bPreview](QDialog *pDialog) {
        bPreview = qobject_cast<QPrintPreviewDialog *>(pDialog) != nullptr;
        pDialog->reject();
    });
    PatientReportPreview::Open(nullptr, QDateTime(), QDateTime(), nullptr, nullptr, nullptr);
    QVERIFY(bPreview);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
