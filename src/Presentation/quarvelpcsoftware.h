#pragma once

#include <QDialog>

// The program's single frameless main window.
class QuarvelPCSoftware : public QDialog
{
    Q_OBJECT

public:
    explicit QuarvelPCSoftware(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~QuarvelPCSoftware() override;
};
