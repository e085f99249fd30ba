#pragma once

// The busy cursor over the whole program while a command blocks the main
// thread (serial exchanges paced by blocking waits), restored when the guard
// goes, whichever way the command ends. Guards nest.

#include <QPointer>
#include <QWidget>

class BusyCursor
{
public:
    // Sets the wait cursor and repaints `window` (the main window, say) so
    // that it does not stay half drawn while the main thread blocks.
    explicit BusyCursor(QWidget* window = nullptr);
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // The ordinary arrow while the user is asked something in between,
    // the busy cursor again when the pause goes.
    class Pause
    {
    public:
        Pause();
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        bool paused_ = false;
    };
};
