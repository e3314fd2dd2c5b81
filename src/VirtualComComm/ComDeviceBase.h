#pragma once

#include <functional>

// A serial device as the communication worker sees it: open by port number,
// read what is waiting, write whole buffers, close. Every call comes from the
// worker's thread.
class ComDeviceBase
{
public:
    virtual ~ComDeviceBase();

    virtual bool Open(int com) = 0;
    virtual bool Close() = 0;
    // The count actually written goes to *written.
    virtual bool Write(void *data, unsigned length, unsigned *written) = 0;
    // The count actually read goes to *read.
    virtual bool Read(void *buffer, unsigned length, unsigned *read) = 0;
    // The port number last passed to Open.
    virtual int GetComNumber() = 0;
    // Bytes waiting in the input queue.
    virtual int GetBytesToRead() = 0;
    // Why the last Open failed, a ComOpenError; COM_OPEN_OK after a success.
    virtual int GetOpenError() = 0;
    // Calls onArrival on the worker's thread as soon as new bytes wait, so that
    // they need not wait for the next poll. A device that cannot tell leaves
    // them to the poll.
    virtual void NotifyArrival(std::function<void()> onArrival) { (void)onArrival; }

protected:
    ComDeviceBase() = default;
    ComDeviceBase(const ComDeviceBase &) = delete;
    ComDeviceBase &operator=(const ComDeviceBase &) = delete;
};
