#pragma once
// A group listing that the service refused outright: after the token retry
// it still ended with 401, 403, 404 or 410. That is how Exchange Online
// answers EWS for a tenant that blocks it (403) or where it is switched off
// (404), so another service may be asked instead. Caught as LSHttpError it
// is the same failure.
#include "KOVACommon/http/LSHttpError.h"

class LSListingRefused : public LSHttpError
{
public:
    explicit LSListingRefused(const LSHttpError& error) : LSHttpError(error) {}

    static bool IsRefusal(uint32_t status) { return status == 401 || status == 403 || status == 404 || status == 410; }

    // Runs the listing; a refusal leaves it as LSListingRefused, any other
    // failure unchanged.
    template <typename Listing>
    static void Run(Listing&& listing)
    {
        try
        {
            listing();
        }
        catch (const LSListingRefused&)
        {
            throw;
        }
        catch (const LSHttpError& error)
        {
            if (!IsRefusal(error.Status()))
                throw;
            throw LSListingRefused(error);
        }
    }
};
