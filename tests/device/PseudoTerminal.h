#pragma once

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal pair for the serial link's tests: the program opens
// the slave by its path as it would a monitor's port; the test plays the
// monitor on the master side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool IsValid() const { return m_master >= 0; }
    QString SlavePath() const { return m_slavePath; }

    // Writes all bytes to the master side, waiting while the line is full.
    bool Write(const QByteArray &bytes);
    // Reads from the master side until count bytes have come (or a generous
    // limit passes), keeping the caller's event loop running.
    QByteArray ReadExactly(int count);
    // What the master side holds right now.
    QByteArray ReadAvailable();
    // The line as the program set it up, e.g. "115200 8N1".
    QString LineSettings() const;
    // Ends the monitor's side, as pulling the cable does.
    void Unplug();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
