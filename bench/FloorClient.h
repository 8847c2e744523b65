#pragma once
// The network floor: the exchanges of a component pass replayed, same paths,
// headers and bodies, by a minimal client with a synchronous msxml2.XMLHTTP
// request per exchange and no parsing of the answers.
#include <string>
#include <utility>
#include <vector>

struct Exchange
{
    std::wstring path;
    std::vector<std::pair<std::wstring, std::wstring>> headers;
    std::wstring body;
};

// The file scripts/bench.sh writes from the simulator's request log, per
// exchange: path, header count, name and value lines, body length in bytes,
// the UTF-8 body and a line feed. Throws std::runtime_error when unreadable.
std::vector<Exchange> ReadExchanges(const std::wstring& file);

// Every exchange once, POSTed to root + path; returns how many were answered 200.
unsigned RunFloorPass(const std::wstring& root, const std::vector<Exchange>& exchanges);
