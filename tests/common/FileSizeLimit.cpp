#include "FileSizeLimit.h"

#include <csignal>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    // The write fails with EFBIG instead of the process being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    if (getrlimit(RLIMIT_FSIZE, &m_original) != 0)
        return;
    rlimit small = m_original;
    small.rlim_cur = bytes;
    m_bSet = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_bSet)
        setrlimit(RLIMIT_FSIZE, &m_original);
}
