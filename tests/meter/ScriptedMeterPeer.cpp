#include "ScriptedMeterPeer.h"

#include <QMutexLocker>

#include <poll.h>

namespace {
QByteArray lettersOf(const QByteArray& bytes)
{
    QByteArray letters;
    for (qsizetype i = 0; i + 8 <= bytes.size(); ++i) {
        if (bytes[i] == '\x02' && bytes[i + 7] == '\x03') {
            letters.append(bytes[i + 1]);
            i += 7;
        }
    }
    return letters;
}
} // namespace

ScriptedMeterPeer::ScriptedMeterPeer(QByteArray idReply) : idReply_(std::move(idReply))
{
    thread_ = std::thread([this] { serve(); });
}

ScriptedMeterPeer::~ScriptedMeterPeer()
{
    stop_ = true;
    thread_.join();
}

QByteArray ScriptedMeterPeer::received() const
{
    QMutexLocker lock(&mutex_);
    return received_;
}

QByteArray ScriptedMeterPeer::letters() const
{
    return lettersOf(received());
}

void ScriptedMeterPeer::clearReceived()
{
    QMutexLocker lock(&mutex_);
    received_.clear();
    idRequestsSeen_ = 0;
}

void ScriptedMeterPeer::send(const QByteArray& bytes, int timeoutMs)
{
    [[maybe_unused]] const bool sent = pty_.writeMaster(bytes, timeoutMs);
}

void ScriptedMeterPeer::serve()
{
    while (!stop_) {
        if (!reading_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        pollfd p{pty_.masterFd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, 10);
        if (ready > 0 && !(p.revents & POLLIN)) {
            // The program has the port closed: the master reports a hang-up.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (ready <= 0)
            continue;
        const QByteArray bytes = pty_.readAvailable();
        int newRequests = 0;
        {
            QMutexLocker lock(&mutex_);
            received_ += bytes;
            const int requests = int(lettersOf(received_).count('K'));
            newRequests = requests - idRequestsSeen_;
            idRequestsSeen_ = requests;
        }
        for (int i = 0; i < newRequests && !idReply_.isEmpty(); ++i)
            send(idReply_);
    }
}
