// Placeholder set-up: switches stay off until the logging set-up lands.
#include "LSDiag.h"

void LSDiag::Initialize(const std::wstring&) {}
