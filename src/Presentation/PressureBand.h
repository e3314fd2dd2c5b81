#pragma once

class QCustomPlot;

// The light-blue band between systolic and diastolic pressure on the NIBP
// plot. It is drawn by two pen-less graphs of its own, after the four named
// ones and on a layer below them, which carry a thinned copy of the two lines:
// a dense page then does not raster thousands of zig-zag vertices for a fill
// that covers the same pixels.
class PressureBand
{
public:
    // Adds the band's graphs to a plot whose graphs 0 and 1 are systolic and
    // diastolic pressure, and gives the "Sys" legend entry the band's colour.
    static void Add(QCustomPlot *pPlot);
    // Makes the band follow the data of graphs 0 and 1 over a key axis of the
    // given length.
    static void Update(QCustomPlot *pPlot, double span);
};
