#include "net/SocketExceptionDisplay.h"

#include <utility>

namespace {
std::function<void()> &Display()
{
    static std::function<void()> display;
    return display;
}
} // namespace

void SetSocketExceptionDisplay(std::function<void()> display) { Display() = std::move(display); }

void ShowSocketException()
{
    if (!Display())
        throw;
    Display()();
}
