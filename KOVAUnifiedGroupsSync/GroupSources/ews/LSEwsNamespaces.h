#pragma once
// The namespaces of EWS answers. Elements are matched by these URIs and their
// local names: servers choose their own prefixes (m:, t:, a default
// namespace), and a name matched as written would miss every other choice.
namespace LSEwsNamespaces {

// Response messages and their own members (ResponseCode, GroupsSets, ...).
constexpr const wchar_t* Messages = L"http://schemas.microsoft.com/exchange/services/2006/messages";
// Everything the messages carry (group sets, groups, details, resources).
constexpr const wchar_t* Types = L"http://schemas.microsoft.com/exchange/services/2006/types";

} // namespace LSEwsNamespaces
