#pragma once
// A group listing that one answer of the service cannot hold whole: EWS lists
// at most the GroupsLimit it is asked for and has no further pages, so a user
// in more groups gets a cut list. Fails the pass like any incomplete answer;
// the Auto rule asks a service that pages instead.
#include "QuorvalCommon/hresult_exception.h"

class LSListingTooLarge : public hresult_exception
{
public:
    explicit LSListingTooLarge(std::string message)
        : hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), std::move(message))
    {
    }
};
