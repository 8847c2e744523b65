#include "CleaningBench.h"

#include "KOVACommon/xml/LSXmlDocument.h"
#include "ProcessFigures.h"
#include "QuorvalCommon/hresult_exception.h"

#include <vector>

std::wstring DirtyAnswer(size_t megabytes)
{
    // Allowed and forbidden references, decimal and hexadecimal, raw control
    // characters, a lone surrogate and a non-character, all of which the cleaning must leave parseable.
    const std::wstring item = std::wstring(L"<t:Item><t:Subject>caf&#233; &#x1; A&#65;&#x41; &#12;&#xFFFE;") +
                              wchar_t(0x01) + L"x" + wchar_t(0x0B) + wchar_t(0xD800) + wchar_t(0xFFFF) +
                              L" &amp;&#xD83D;&#9;</t:Subject></t:Item>\r\n";
    const std::wstring head = L"<?xml version=\"1.0\"?><m:Answer xmlns:m=\"urn:m\" xmlns:t=\"urn:t\">";
    const std::wstring tail = L"</m:Answer>";
    const size_t target = megabytes * 1024 * 1024;
    std::wstring text;
    text.reserve(target + item.size() + head.size() + tail.size());
    text = head;
    while (text.size() + tail.size() < target)
        text += item;
    return text + tail;
}

namespace {

template <typename Work>
double BestMBps(double megabytes, int rounds, Work work)
{
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i)
    {
        const double start = WallMilliseconds();
        work();
        seconds.push_back((WallMilliseconds() - start) / 1000.0);
    }
    return megabytes / Median(seconds);
}

} // namespace

CleaningFigures MeasureCleaning(size_t megabytes, int rounds)
{
    const std::wstring answer = DirtyAnswer(megabytes);
    CleaningFigures figures;
    figures.megabytes = static_cast<double>(answer.size()) / (1024.0 * 1024.0); // one byte per character (ASCII-heavy)
    figures.cleanMBps = BestMBps(figures.megabytes, rounds, [&] {
        if (LSXmlDocument::CleanXmlText(answer).empty())
            throw hresult_exception(E_FAIL, "CleanXmlText returned nothing");
    });
    figures.sanitiseMBps = BestMBps(figures.megabytes, rounds, [&] {
        if (!LSXmlDocument::SanitiseXMLDocument(answer))
            throw hresult_exception(E_FAIL, "SanitiseXMLDocument returned no document");
    });
    return figures;
}
