#pragma once
// Rewrites the build number (third part) of a DLL's file version in place, so
// a copy of the component can disagree with the host product's DLL; and
// replaces a resource of a copy, so it lacks what the component needs.
#include <cstdint>
#include <string>

bool SetFileVersionBuild(const std::wstring& path, uint16_t build);
bool ReplaceResource(const std::wstring& path, const wchar_t* type, const wchar_t* name, const std::string& bytes);
