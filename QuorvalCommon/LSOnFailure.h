#pragma once
// Runs a clean-up when its scope is left by an exception, and only then: the
// failure passes on unchanged. The clean-up must not throw.
#include <exception>
#include <utility>

template <typename CleanUp>
class LSOnFailure
{
public:
    explicit LSOnFailure(CleanUp cleanUp) : m_cleanUp(std::move(cleanUp)) {}
    ~LSOnFailure()
    {
        if (std::uncaught_exceptions() > m_exceptionsAtStart)
            m_cleanUp();
    }
    LSOnFailure(const LSOnFailure&) = delete;
    LSOnFailure& operator=(const LSOnFailure&) = delete;

private:
    CleanUp m_cleanUp;
    int m_exceptionsAtStart = std::uncaught_exceptions();
};
