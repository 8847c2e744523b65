#pragma once
// The recording and replaying requests the factory builds for a test runner.
#include "KOVACommon/replay/LSHttpRequestPlayback.h"
#include "KOVACommon/replay/LSHttpRequestRecorder.h"
