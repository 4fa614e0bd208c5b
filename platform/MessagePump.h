#pragma once
#include <functional>

// The message pump as core code receives it: a callback that handles all
// pending window messages. Core code stays Qt-free this way; the window's
// pump itself is platform/qt/MessagePump.h.
namespace platform {

using MessagePump = std::function<void()>;

}  // namespace platform
