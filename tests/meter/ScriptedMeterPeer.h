#pragma once

// The meter's end of a pseudo-terminal, scripted by a test: it records every
// byte the program sends, answers the identification request "K" with a
// chosen 4-byte reply (or not at all), and sends whatever the test hands it.
// Runs on its own thread, so it answers while the program's main thread
// sits in a blocking wait.

#include "common/PtyPair.h"

#include <QByteArray>
#include <QMutex>

#include <atomic>
#include <thread>

class ScriptedMeterPeer
{
public:
    explicit ScriptedMeterPeer(QByteArray idReply = QByteArrayLiteral("0842"));
    ~ScriptedMeterPeer();

    [[nodiscard]] QString path() const { return pty_.slavePath(); }
    // Everything the program has sent so far.
    [[nodiscard]] QByteArray received() const;
    // The command letters of the 8-byte frames received so far, in order.
    [[nodiscard]] QByteArray letters() const;
    [[nodiscard]] int count(char letter) const { return int(letters().count(letter)); }
    void clearReceived();
    // Sends bytes to the program, giving up after timeoutMs.
    void send(const QByteArray& bytes, int timeoutMs = 2000);
    // A peer that stops reading: what the program writes piles up in the
    // pseudo-terminal until its queue is full.
    void setReading(bool reading) { reading_ = reading; }

private:
    void serve();

    PtyPair pty_;
    QByteArray idReply_;
    mutable QMutex mutex_;
    QByteArray received_;
    int idRequestsSeen_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reading_{true};
    std::thread thread_;
};
