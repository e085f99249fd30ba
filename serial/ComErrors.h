#pragma once

#include <QString>
#include <exception>
#include <functional>

// The component's error: a message and the operating system's error number
// (0 for the component's own errors).
class EComError : public std::exception
{
public:
    EComError(QString message, int code) : message_(std::move(message)), code_(code), utf8_(message_.toUtf8()) {}
    const QString& message() const { return message_; }
    int code() const { return code_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    int code_;
    QByteArray utf8_;
};

// The silent abort: unwinds the command in progress and is never shown.
class EAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Every event handler (serial events, timers, user commands) runs through
// this guard: a silent abort ends the handler quietly, any other exception
// goes to the application's error display and the program keeps running.
namespace HandlerGuard {
using ErrorDisplay = std::function<void(const QString& message)>;

// Installs the application's error display; the default writes a warning.
void setErrorDisplay(ErrorDisplay display);

// Runs fn, catching everything it throws as described above.
void run(const std::function<void()>& fn) noexcept;
} // namespace HandlerGuard
