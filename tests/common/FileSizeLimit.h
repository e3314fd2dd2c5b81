#pragma once

#include <sys/resource.h>

// While it lives, every write of this process beyond the given file size
// fails as on a full disk (root included, whom permissions do not stop).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool IsSet() const { return m_bSet; }

private:
    rlimit m_original{};
    bool m_bSet = false;
};
