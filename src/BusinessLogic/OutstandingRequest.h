#pragma once

#include <QElapsedTimer>

#include <bitset>

// The one request of an import run that waits for its answer: which command,
// for which patient id, since when and how often it went out, and which
// packages of its answer have been handled. Only an answer with its command
// code belongs to the run; a repeated request brings the whole answer again,
// so packages already handled are recognised and passed over.
class OutstandingRequest
{
public:
    // The request itself and at most two repeats.
    static constexpr int kMaxSends = 3;

    // A new request has gone out: sent once, nothing of its answer handled.
    void Start(unsigned short cmd, int iPatientID);
    // The same request went out once more.
    void Resent();
    void Clear();

    bool IsOut() const { return m_bOut; }
    bool Matches(unsigned short cmd) const { return m_bOut && cmd == m_cmd; }
    unsigned short Command() const { return m_cmd; }
    int PatientID() const { return m_iPatientID; }
    int SendCount() const { return m_iSends; }
    bool MaySendAgain() const { return m_bOut && m_iSends < kMaxSends; }
    // Time since the request last went out.
    qint64 ElapsedMs() const { return m_since.isValid() ? m_since.elapsed() : 0; }

    // Notes a package of the answer; false when it was handled before.
    bool TakePackage(unsigned char pkgNo);
    // The answer is complete when its last package is in and none before it
    // is missing (one may have been damaged on the line).
    bool IsComplete(unsigned char pkgNo, unsigned char pkgCount) const;

    // A damaged answer or an error package came while this request was out.
    void MarkDamaged() { m_bDamaged = m_bOut; }
    bool IsDamaged() const { return m_bDamaged; }

private:
    bool m_bOut = false;
    bool m_bDamaged = false;
    unsigned short m_cmd = 0;
    int m_iPatientID = 0;
    int m_iSends = 0;
    QElapsedTimer m_since;
    std::bitset<256> m_packages;
};
