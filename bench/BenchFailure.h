#pragma once
// A benchmark step that failed: which one and its HRESULT.
#include <windows.h>
#include <string>

struct BenchFailure
{
    std::wstring step;
    HRESULT hr;
};

inline void CheckStep(const wchar_t* step, HRESULT hr)
{
    if (FAILED(hr))
        throw BenchFailure{step, hr};
}
