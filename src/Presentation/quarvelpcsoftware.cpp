#include "quarvelpcsoftware.h"

QuarvelPCSoftware::QuarvelPCSoftware(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    // 2. The form.
    setWindowTitle(tr("Vantrel Monitor"));
    setMinimumSize(1024, 600);
    // 4. Frameless.
    setWindowFlags(Qt::FramelessWindowHint);
}

QuarvelPCSoftware::~QuarvelPCSoftware() = default;
