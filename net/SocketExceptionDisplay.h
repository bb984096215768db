#pragma once

#include <functional>

// Where an exception escaping a socket notification goes: an event handler's error or an
// ESocketError the component raises there. The display is called inside the catch block
// (std::current_exception() is the error). Without one, the error is rethrown to the event
// loop, where the application object's notify() shows it.
void SetSocketExceptionDisplay(std::function<void()> display);

// Hands the exception being handled to the display; call only inside a catch block.
void ShowSocketException();

// Runs one notification's work, handing anything it throws to the display.
template <typename Work> void DeliverNotification(Work &&work)
{
    try {
        work();
    } catch (...) {
        ShowSocketException();
    }
}
