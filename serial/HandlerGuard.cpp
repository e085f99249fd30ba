#include "serial/ComErrors.h"

#include <QDebug>

namespace {
HandlerGuard::ErrorDisplay& errorDisplay()
{
    static HandlerGuard::ErrorDisplay display = [](const QString& message) {
        qWarning().noquote() << message;
    };
    return display;
}
} // namespace

void HandlerGuard::setErrorDisplay(ErrorDisplay display)
{
    errorDisplay() = std::move(display);
}

void HandlerGuard::run(const std::function<void()>& fn) noexcept
{
    try {
        fn();
    } catch (const EAbort&) {
    } catch (const EComError& e) {
        errorDisplay()(e.message());
    } catch (const std::exception& e) {
        errorDisplay()(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        errorDisplay()(QStringLiteral("Unknown error"));
    }
}
