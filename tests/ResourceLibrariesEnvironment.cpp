// What the module entry does at process attach, done once for the whole test
// program: every case that loads a string finds the installed libraries.
#include "QuorvalCommon/LSResourceLibraries.h"

#include <gtest/gtest.h>

namespace {

class ResourceLibrariesEnvironment : public testing::Environment
{
public:
    void SetUp() override { LSResourceLibraries::LoadAtProcessAttach(GetModuleHandleW(nullptr)); }
};

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new ResourceLibrariesEnvironment);

} // namespace
