#include "OutstandingRequest.h"

void OutstandingRequest::Start(unsigned short cmd, int iPatientID)
{
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
    m_packages.reset();
    m_since.invalidate();
}

bool OutstandingRequest::TakePackage(unsigned char pkgNo)
{
    if (m_packages.test(pkgNo))
        return false;
    m_packages.set(pkgNo);
    return true;
}

bool OutstandingRequest::IsComplete(unsigned char pkgNo, unsigned char pkgCount) const
{
    if (pkgNo < pkgCount)
        return false;
    for (unsigned no = 1; no < pkgCount; ++no) {
        if (!m_packages.test(no))
            return false;
    }
    return true;
}
