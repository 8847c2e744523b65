#pragma once
// Throughput of the XML cleaning on a large answer full of numeric
// references and characters XML forbids.
#include <string>

struct CleaningFigures
{
    double megabytes = 0;
    double cleanMBps = 0;
    double sanitiseMBps = 0;
};

std::wstring DirtyAnswer(size_t megabytes);
CleaningFigures MeasureCleaning(size_t megabytes, int rounds);
