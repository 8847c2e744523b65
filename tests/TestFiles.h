#pragma once
// Where the test program finds the files the build made for it.
#include "ScratchFolder.h"

#include <string>

// The folder of the test program (the build's bin folder).
std::wstring TestProgramFolder();
