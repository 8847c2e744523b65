#pragma once
// The exchanges of one component pass as the simulator recorded them, in the
// file bench/simctl.py writes:
//   exchange METHOD PATH
//   header NAME<TAB>VALUE        (any number)
//   body BYTES                   then exactly BYTES bytes of UTF-8 and a line feed
#include <string>
#include <utility>
#include <vector>

struct RecordedExchange
{
    std::wstring method;
    std::wstring path;
    std::vector<std::pair<std::wstring, std::wstring>> headers;
    std::wstring body;
};

// Throws std::runtime_error on a file that cannot be read or parsed.
std::vector<RecordedExchange> ReadRecordedExchanges(const std::wstring& file);
