#include "TrendPlotStyle.h"

#include "PressureBand.h"

#include <QCoreApplication>
#include <qcustomplot.h>

namespace {

const QColor kBlue(55, 116, 196);
const QColor kGreen(53, 154, 39);
const QColor kRed(214, 69, 69);

QString tr(const char *pText)
{
    return QCoreApplication::translate("TrendGrapView", pText);
}

QCPGraph *AddGraph(QCustomPlot *pPlot, const QString &name, const QColor &colour)
{
    QCPGraph *pGraph = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
    pGraph->setName(name);
    pGraph->setPen(QPen(colour, 2, Qt::SolidLine));
    return pGraph;
}

void SetValueAxis(QCPAxis *pAxis, const QString &label, double upper)
{
    pAxis->setVisible(true);
    pAxis->setLabel(label);
    pAxis->setRange(0, upper);
}

// A row of its own above the plot area, at its right end: inside the plot
// area, the legend covered the latest records of the page, which are drawn
// at the right. The row's empty first column takes the width the legend
// does not need.
void PutLegendAbove(QCustomPlot *pPlot)
{
    QCPLegend *pLegend = pPlot->legend;
    pPlot->axisRect()->insetLayout()->take(pLegend);
    pLegend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    pLegend->setSizeConstraintRect(QCPLayoutElement::scrOuterRect);
    pLegend->setMaximumSize(pLegend->minimumOuterSizeHint());
    pLegend->setVisible(true);
    auto *pRow = new QCPLayoutGrid;
    pPlot->plotLayout()->insertRow(0);
    pPlot->plotLayout()->addElement(0, 0, pRow);
    pPlot->plotLayout()->setRowStretchFactor(0, 0.001);
    pRow->addElement(0, 1, pLegend);
    pRow->setMinimumMargins(QMargins(0, 2, 5, 0));
}

} // namespace

void TrendPlotStyle::Configure(QCustomPlot *pNIBP, QCustomPlot *pSPO2, QCustomPlot *pTEMP)
{
    SetValueAxis(pNIBP->yAxis, tr("mmHg"), 300);
    SetValueAxis(pNIBP->yAxis2, tr("BPM"), 300);
    AddGraph(pNIBP, tr("Sys"), kBlue);
    AddGraph(pNIBP, tr("Dia"), kBlue);
    AddGraph(pNIBP, tr("Mean"), kGreen);
    AddGraph(pNIBP, tr("Pr"), kRed)->setValueAxis(pNIBP->yAxis2);
    PressureBand::Add(pNIBP);
    PutLegendAbove(pNIBP);

    SetValueAxis(pSPO2->yAxis, tr("%"), 100);
    SetValueAxis(pSPO2->yAxis2, tr("BPM"), 300);
    AddGraph(pSPO2, tr("SPO2"), kBlue);
    AddGraph(pSPO2, tr("Pr"), kRed)->setValueAxis(pSPO2->yAxis2);
    PutLegendAbove(pSPO2);

    SetValueAxis(pTEMP->yAxis, tr("C"), 50);
    AddGraph(pTEMP, tr("TEMP"), kBlue);
    pTEMP->legend->setVisible(false);
    // One left and one right margin for the three plot areas, the widest any
    // of them needs, so that one instant lies at one x on all three.
    auto *pMargins = new QCPMarginGroup(pNIBP);
    for (QCustomPlot *pPlot : {pNIBP, pSPO2, pTEMP}) {
        // A dense width-2 line stroked as one polyline costs seconds to raster
        // when it folds over itself; segment by segment it costs milliseconds
        // and looks the same.
        pPlot->setPlottingHint(QCP::phFastPolylines, true);
        pPlot->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, pMargins);
    }
}
