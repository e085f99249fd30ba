#pragma once

// A pseudo-terminal pair in raw mode: the meter serves on the master, the
// program opens the slave path like a serial device.
//
// Contract: open() creates the pair and keeps one slave descriptor of its own
// open for the object's lifetime. That descriptor is never read, so it takes
// no byte from the program; it only keeps the master from seeing a hang-up
// each time the program closes the port, so the program can close and reopen
// the port at will. The master is non-blocking.

#include <QString>

namespace vmeter {

class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] bool open();
    void close();

    [[nodiscard]] int masterFd() const { return master_; }
    [[nodiscard]] QString slavePath() const { return slavePath_; }
    [[nodiscard]] QString errorString() const { return error_; }

private:
    bool fail(const char* step);

    int master_ = -1;
    int slaveHold_ = -1;
    QString slavePath_;
    QString error_;
};

} // namespace vmeter
