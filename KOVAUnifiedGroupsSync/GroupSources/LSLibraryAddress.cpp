#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryAddress.h"

#include "KOVACommon/http/LSSecureAddress.h"

#include <optional>

namespace LSLibraryAddress {

namespace {

// Far beyond any library's address; a bound on what is parsed and handed on.
constexpr size_t MostAddressCharacters = 4096;

} // namespace

bool IsAcceptable(const std::wstring& address)
{
    if (address.size() > MostAddressCharacters || LSSecureAddress::Ambiguity(address))
        return false;
    const std::optional<LSSecureAddress::CrackedUrl> cracked = LSSecureAddress::Crack(address);
    return cracked && cracked->https && !cracked->host.empty() && cracked->userName.empty() &&
           cracked->password.empty();
}

} // namespace LSLibraryAddress
