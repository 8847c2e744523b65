#pragma once
// Runs another Windows program of the prefix and collects what it printed.
#include <string>

struct ProcessResult
{
    unsigned long exitCode = 0xFFFFFFFF;
    std::string output; // standard output, as bytes
    std::string errors; // standard error, as bytes
    bool finished = false;
};

// Waits at most timeoutMs, then ends the program.
ProcessResult RunProcess(const std::wstring& commandLine, unsigned long timeoutMs = 60000);

// The component's DLL as the build made it, beside the test program.
std::wstring ComponentDllPath();
