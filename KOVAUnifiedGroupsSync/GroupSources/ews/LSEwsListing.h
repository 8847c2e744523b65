#pragma once
// The groups of an EWS listing answer, read whole or not at all. The host
// deletes the folder of every group a successful pass leaves out, so an
// answer that says less than it seems (no group sets, a set of another
// filter, fewer groups than its TotalGroups) fails the pass.
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <string>
#include <vector>

namespace LSEwsListing {

// The most groups one listing answer holds: the GroupsLimit the request asks
// for. EWS has no further pages.
constexpr unsigned long GroupsLimit = 1000;

struct Entry
{
    std::wstring idText; // ExternalDirectoryObjectId as written
    std::wstring displayName;
};

// The groups under the listing's response message, in the server's order.
// A group without its ExternalDirectoryObjectId or DisplayName is a COM
// error E_POINTER. An incomplete answer fails with an error line and
// ERROR_INVALID_DATA; one whose TotalGroups exceeds GroupsLimit with
// LSListingTooLarge.
std::vector<Entry> Read(IXMLDOMNode* responseMessage);

} // namespace LSEwsListing
