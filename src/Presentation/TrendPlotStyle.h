#pragma once

class QCustomPlot;

// How the three trend plots look: their graphs with names and pens, value
// axes, legends and shared margins. Done once, when the Trend page is built.
class TrendPlotStyle
{
public:
    static void Configure(QCustomPlot *pNIBP, QCustomPlot *pSPO2, QCustomPlot *pTEMP);
};
