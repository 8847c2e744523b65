#pragma once
// Rewrites the build number (third part) of a DLL's file version in place, so
// a copy of the component can disagree with the host product's DLL.
#include <cstdint>
#include <string>

bool SetFileVersionBuild(const std::wstring& path, uint16_t build);
