#pragma once

#include <QElapsedTimer>

#include <bitset>

// The one request of an import run that waits for its answer: which command,
// for which patient id, since when and how often it went out, and which
// packages of its answer have been handled. Only an answer with its command
// code belongs to the run; a repeated request brings the whole answer again,
// so packages already handled are recognised and passed over. Every send is
// owed one answer and the monitor answers in order, so answers still owed to
// the request before, when it had the same command, come first and are not
// this request's: the answers carry no patient id.
class OutstandingRequest
{
public:
    // The request itself and at most two repeats.
    static constexpr int kMaxSends = 3;

    // A new request has gone out: sent once, nothing of its answer handled.
    // What the one before it is still owed is carried over when the command
    // is the same.
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

    // A package of the outstanding command that answers an earlier request:
    // true while such answers are still owed (the last package ends one).
    bool PassStale(bool lastPackage);
    // The last package of an answer to this request came, intact or damaged.
    void NoteAnswerEnd() { ++m_iAnswers; }
    // Notes a package of the answer; false when it was handled before.
    bool TakePackage(unsigned char pkgNo);
    // The answer is complete when its last package is in and none before it
    // is missing (one may have been damaged on the line and come again).
    bool IsComplete(unsigned char pkgCount) const;

    // A damaged answer or an error package came while this request was out.
    void MarkDamaged() { m_bDamaged = m_bOut; }
    bool IsDamaged() const { return m_bDamaged; }

private:
    bool m_bOut = false;
    bool m_bDamaged = false;
    unsigned short m_cmd = 0;
    int m_iPatientID = 0;
    int m_iSends = 0;
    int m_iAnswers = 0;
    int m_iStale = 0; // answers owed to earlier requests of this command
    QElapsedTimer m_since;
    std::bitset<256> m_packages;
};
