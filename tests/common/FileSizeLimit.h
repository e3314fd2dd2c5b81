#pragma once

#include <csignal>

#include <sys/resource.h>

// While it lives, writes past the size fail as on a full disk (root included).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        // The write fails with EFBIG instead of the process being killed.
        std::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &m_original) == 0) {
            const rlimit small{bytes, m_original.rlim_max};
            m_bSet = setrlimit(RLIMIT_FSIZE, &small) == 0;
        }
    }
    ~FileSizeLimit()
    {
        if (m_bSet)
            setrlimit(RLIMIT_FSIZE, &m_original);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool IsSet() const { return m_bSet; }

private:
    rlimit m_original{};
    bool m_bSet = false;
};
