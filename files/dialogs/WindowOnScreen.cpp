#include "files/dialogs/WindowOnScreen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace WindowOnScreen {
namespace {
constexpr int EventSliceMs = 10;

bool exposed(const QWidget& window)
{
    const QWindow* handle = window.windowHandle();
    return handle && handle->isExposed();
}

template <typename Done> bool runEventsUntil(Done done, int limitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() >= limitMs)
            return false;
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers, EventSliceMs);
    }
    return true;
}
} // namespace

bool fillsAvailableScreen(const QWidget& window)
{
    const QScreen* screen = window.screen();
    return screen && window.frameGeometry().size() == screen->availableGeometry().size();
}

bool waitUntilShown(QWidget& window)
{
    if (!window.isVisible())
        return false;
    if (!runEventsUntil([&window] { return exposed(window); }, ExposeLimitMs))
        return false;
    if (!window.isMaximized())
        return true;
    return runEventsUntil([&window] { return fillsAvailableScreen(window); }, MaximiseLimitMs);
}

} // namespace WindowOnScreen
