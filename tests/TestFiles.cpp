#include "TestFiles.h"

#include "QuorvalCommon/LSSetting.h"

std::wstring TestProgramFolder()
{
    std::wstring path = LSSetting::GetModuleFileNameSafe(nullptr);
    return path.substr(0, path.find_last_of(L'\\'));
}
