#pragma once

class QLabel;
class QWidget;
class Ui_PCViewer;

// Completes the Desktop tab around the view stack: a separator line, then the
// patient list beside the tool bar with the pages below it. Returns the label
// in the tool bar that names the patient on show.
QLabel *LayOutDesktopTab(const Ui_PCViewer &ui, QWidget *pViewStack);
