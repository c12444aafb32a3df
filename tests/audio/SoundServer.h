// The private sound server of the audio tests (in the test-support library).
#pragma once

#include "tests/support/SoundServer.h"
