#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>

class QCPPainter;
class QPrinter;

// Puts a report onto the pages of a printer from top to bottom: keeps the
// position on the page, starts a new page when a piece does not fit, heads
// every page after the first with a running line and ends every page with
// "Page n of m". Without a painter it only counts, so that a first pass can
// find m for the second, which draws.
class PatientReportPageWriter
{
public:
    // One column of a table: its share of the table's width and alignment.
    struct Column
    {
        double dWidthMm;
        Qt::Alignment alignment;
    };

    // Space between a table cell's edge and its text.
    static constexpr double CellPaddingMm = 1.5;

    PatientReportPageWriter(QPrinter *pPrinter, QCPPainter *pPainter, int iPageCount,
                            const QString &strRunningHeader);

    // Device units of a length on paper.
    double Mm(double dMm) const;
    double Width() const { return m_dWidth; }
    double Top() const { return m_dY; }
    QCPPainter *Painter() const { return m_pPainter; }
    int PageNumber() const { return m_iPage; }

    // Starts a new page unless dHeight still fits on this one; true if it did.
    bool EnsureSpace(double dHeight);
    void Skip(double dHeight) { m_dY += dHeight; }
    // Ends the last page (its footer); returns the number of pages.
    int Finish();

    // One line of text across the page (elided when too long).
    void Line(const QString &strText, const QFont &font, double dIndentMm = 0);
    // A paragraph wrapped to the page's width.
    void Paragraph(const QString &strText, const QFont &font, double dIndentMm = 0);
    // Rows under a header row; the header row is repeated at the top of every
    // page and every column of the page the table runs onto.
    void Table(const QList<Column> &columns, const QStringList &header,
               const QList<QStringList> &rows);

    // One row of cells without a header, such as label and value pairs.
    void Row(const QList<Column> &columns, const QStringList &cells, const QFont &font);

    double RowHeight(const QFont &font) const;
    static QFont ReportFont(double dPointSize, bool bBold = false);

private:
    void NewPage();
    void DrawFooter();
    void DrawRunningHeader();
    void TableRow(const QList<Column> &columns, const QStringList &cells, const QFont &font,
                  const QColor &shade, double dHeight);

    QPrinter *m_pPrinter;
    QCPPainter *m_pPainter;
    int m_iPageCount;
    QString m_strRunningHeader;
    double m_dWidth = 0;
    double m_dBottom = 0;
    double m_dY = 0;
    // Left edge of the table column being filled.
    double m_dX = 0;
    int m_iPage = 1;
    QFont m_tableFont;
    QFont m_tableHeaderFont;
    QFont m_smallFont;
    double m_dTableRow = 0;
};
