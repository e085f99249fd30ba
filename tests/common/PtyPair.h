#pragma once

// A real pseudo-terminal pair for serial tests: the code under test opens
// slavePath() like any serial device, the test plays the other end through
// the master side (write bytes, read what was sent, inspect the line
// settings the slave carries).
//
// The master is non-blocking. The slave's termios is read through the master
// (Linux answers terminal-attribute requests on a master for its slave), so
// a test never has to open the slave a second time, which an exclusive
// opener would refuse.

#include <QByteArray>
#include <QString>

#include <termios.h>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] bool isValid() const { return master_ >= 0; }
    [[nodiscard]] QString slavePath() const { return slavePath_; }
    [[nodiscard]] int masterFd() const { return master_; }

    // Writes all bytes to the master (towards the slave's reader); false if
    // they could not all be written within timeoutMs.
    [[nodiscard]] bool writeMaster(const QByteArray& bytes, int timeoutMs = 2000);
    // Reads what the slave's writer sent, until count bytes came or
    // timeoutMs passed; returns what was read.
    [[nodiscard]] QByteArray readMaster(int count, int timeoutMs = 2000);
    // Whatever is waiting on the master now, without waiting.
    [[nodiscard]] QByteArray readAvailable();

    // The slave's current line settings; false when they cannot be read.
    [[nodiscard]] bool slaveTermios(termios& settings) const;
    // Baud rate of the slave as a number (9600), or -1.
    [[nodiscard]] int slaveBaudRate() const;

    // Packet mode: the master then also learns of every flush of the slave's
    // output, which on a pseudo-terminal can throw away bytes written just
    // before. Read with readPackets() from then on.
    [[nodiscard]] bool enablePacketMode();
    struct Packets
    {
        QByteArray data;
        int status = 0; // TIOCPKT_* bits of the control packets
    };
    // In packet mode: what arrives until dataBytes of data came or timeoutMs passed.
    [[nodiscard]] Packets readPackets(int dataBytes, int timeoutMs = 2000);

    // Closes the master: the slave side sees a hang-up, like a cable pulled.
    void closeMaster();

private:
    int master_ = -1;
    QString slavePath_;
};
