#include "OutstandingRequest.h"

#include <algorithm>

void OutstandingRequest::Start(unsigned short cmd, int iPatientID)
{
    m_iStale = m_bOut && cmd == m_cmd ? m_iStale + std::max(0, m_iSends - m_iAnswers) : 0;
    m_iAnswers = 0;
    m_bOut = true;
    m_bDamaged = false;
    m_cmd = cmd;
    m_iPatientID = iPatientID;
    m_iSends = 1;
    m_packages.reset();
    m_since.start();
}

void OutstandingRequest::Resent()
{
    if (!m_bOut)
        return;
    ++m_iSends;
    m_bDamaged = false;
    m_since.start();
}

void OutstandingRequest::Clear()
{
    m_bOut = false;
    m_bDamaged = false;
    m_cmd = 0;
    m_iPatientID = 0;
    m_iSends = 0;
    m_iAnswers = 0;
    m_iStale = 0;
    m_packages.reset();
    m_since.invalidate();
}

bool OutstandingRequest::PassStale(bool lastPackage)
{
    if (m_iStale == 0)
        return false;
    if (lastPackage)
        --m_iStale;
    return true;
}

bool OutstandingRequest::TakePackage(unsigned char pkgNo)
{
    if (m_packages.test(pkgNo))
        return false;
    m_packages.set(pkgNo);
    return true;
}

bool OutstandingRequest::IsComplete(unsigned char pkgCount) const
{
    for (unsigned no = 1; no < pkgCount; ++no) {
        if (!m_packages.test(no))
            return false;
    }
    // After a repeat the missing package may come in after the last one.
    return (m_packages >> pkgCount).any();
}
