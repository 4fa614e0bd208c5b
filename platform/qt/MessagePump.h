#pragma once
#include "platform/MessagePump.h"

// The window system's message pump: handles all pending window messages.
namespace platform {

void ProcessMessages();

}  // namespace platform
