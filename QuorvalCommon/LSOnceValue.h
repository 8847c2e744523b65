#pragma once
// A value computed once, on first use, and kept; thread-safe. Unlike a
// function-local static it can be forgotten, so tests can make the process
// read its once-per-process settings again.
#include <mutex>
#include <optional>

template <typename T>
class LSOnceValue
{
public:
    template <typename Compute>
    T Get(Compute compute)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_value)
            m_value = compute();
        return *m_value;
    }

    void Forget()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value.reset();
    }

private:
    std::mutex m_mutex;
    std::optional<T> m_value;
};
