#pragma once
// A value computed once, on first use, and kept; thread-safe. Unlike a
// function-local static it can be forgotten: every once-value of the process
// is listed, so tests can make the process read all its once-per-process
// settings again, as a new process would.
#include <windows.h>

#include <mutex>
#include <optional>

class LSOnceValueBase
{
public:
    LSOnceValueBase(const LSOnceValueBase&) = delete;
    LSOnceValueBase& operator=(const LSOnceValueBase&) = delete;

    // The next use computes the value again.
    virtual void Forget() = 0;

protected:
    LSOnceValueBase();
    virtual ~LSOnceValueBase();

private:
    friend class LSOnceValueAccess;
    static SRWLOCK s_listLock;
    static LSOnceValueBase* s_first;
    LSOnceValueBase* m_previous = nullptr;
    LSOnceValueBase* m_next = nullptr;
};

template <typename T>
class LSOnceValue : public LSOnceValueBase
{
public:
    LSOnceValue() = default;
    ~LSOnceValue() override = default;

    template <typename Compute>
    T Get(Compute compute)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_value)
            m_value = compute();
        return *m_value;
    }

    void Forget() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value.reset();
    }

private:
    std::mutex m_mutex;
    std::optional<T> m_value;
};
