#pragma once
// Waits for a condition in a test, looking every few milliseconds, for at most limit.
#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
