#pragma once
// The recording and replaying requests the factory builds for a test runner.
#include "LSHttpRequestPlayback.h"
#include "LSHttpRequestRecorder.h"
