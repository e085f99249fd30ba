#pragma once

// The event thread of an open port: waits for line events on its own
// duplicate of the device descriptor and hands each batch to the port's
// dispatch, on the main thread when the port synchronises events (the
// thread then blocks until the dispatch ran or it was told to stop).
//
// The thread never closes the port itself: a failing device is reported to
// the main thread, which reports the error and closes the port there.

#include <QThread>

#include <cstdint>
#include <memory>

class ComEventChannel;
class TCustomComPort;

class TComThread : public QThread
{
public:
    // Takes ownership of deviceFd.
    TComThread(TCustomComPort& port, std::shared_ptr<ComEventChannel> channel, int deviceFd,
               bool synchronize);
    ~TComThread() override;

protected:
    void run() override;

private:
    [[nodiscard]] bool dispatch(std::uint32_t events);
    void reportFailure(int error);

    TCustomComPort& port_;
    std::shared_ptr<ComEventChannel> channel_;
    int fd_;
    bool synchronize_;
};
