#include "KOVACommon/http/LSHealthScore.h"

#include "KOVACommon/http/LSDelay.h"
#include "KOVACommon/http/LSLightSync.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cwchar>

namespace LSHealthScore {

namespace {

constexpr uint32_t HighestHealthScore = 10;

// Nothing when the header is absent or blank.
bool ReadHealthScore(ILSHttpRequest& request, uint32_t& score)
{
    CStdStr text(request.GetResponseHeader(L"X-SharePointHealthScore"));
    text.Trim();
    if (text.empty())
        return false;
    score = static_cast<uint32_t>(ReadDecimal(text));
    return true;
}

} // namespace

void CheckHealthScore(ILSHttpRequest& request)
{
    uint32_t score = 0;
    if (!ReadHealthScore(request, score))
        return;
    if (score > HighestHealthScore)
    {
        LS_DIAG_LOG << "Invalid health score returned " << score;
        return;
    }
    const LSLightSync::HealthScoreSettings settings = LSLightSync::GetHealthScoreSettings();
    if (settings.threshold == 0)
        return;
    if (settings.threshold > HighestHealthScore)
    {
        LS_ERROR_LOG << "Invalid SharePointSync.HeathScoreThreshold value " << settings.threshold;
        return;
    }
    if (score < settings.threshold)
        return;

    LSLightSync::EnableLightSync();
    if (settings.exceededDelayMs != 0)
    {
        LS_DIAG_LOG << "Delaying due to healthscore level " << score;
        LSDelay::InterruptibleDelay(settings.exceededDelayMs);
    }
}

} // namespace LSHealthScore
