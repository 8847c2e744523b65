#pragma once
// Value-preserving narrowing: throws instead of silently changing the value.
#include "QuorvalCommon/hresult_exception.h"

#include <cstdint>
#include <limits>

namespace QuorvalCommon { namespace narrowcasts {

// Reported at the boundary as a standard failure (E_FAIL).
class narrowing_error : public hresult_exception
{
public:
    narrowing_error() : hresult_exception(E_FAIL, "narrowing_error", Shape::Standard) {}
};

// A size that does not fit a non-negative 32-bit signed integer.
inline int32_t to_int32(uint64_t value)
{
    if (value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
        throw narrowing_error();
    return static_cast<int32_t>(value);
}

inline uint16_t to_uint16(uint64_t value)
{
    if (value > std::numeric_limits<uint16_t>::max())
        throw narrowing_error();
    return static_cast<uint16_t>(value);
}

inline uint32_t to_uint32(uint64_t value)
{
    if (value > std::numeric_limits<uint32_t>::max())
        throw narrowing_error();
    return static_cast<uint32_t>(value);
}

}} // namespace QuorvalCommon::narrowcasts
