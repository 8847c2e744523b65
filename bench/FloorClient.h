#pragma once
// The network floor: the exchanges of a component pass, replayed with the
// same request lines, headers and bodies by the plainest client the platform
// offers, a synchronous msxml2.XMLHTTP request per exchange, with the answer
// left unread.
#include "RecordedExchanges.h"

#include <string>
#include <vector>

class FloorClient
{
public:
    FloorClient(const std::wstring& serverRoot, std::vector<RecordedExchange> exchanges);

    // Every exchange once, in recorded order. Throws BenchFailure on a failed
    // call or an answer other than 200.
    void RunPass() const;
    size_t ExchangeCount() const { return m_exchanges.size(); }

private:
    void Exchange(const RecordedExchange& exchange) const;

    std::wstring m_serverRoot; // scheme and authority, no trailing "/"
    std::vector<RecordedExchange> m_exchanges;
    CLSID m_classId{};
};
