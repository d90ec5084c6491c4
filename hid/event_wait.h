#pragma once
// The station's wait for hotplug changes, wake-ups and interrupts, in each system's own terms.

#ifdef _WIN32
#include "hid/windows/event_wait.h"
#else
#include "hid/linux/event_wait.h"
#endif
