#pragma once
#include <functional>

// The message pump: handles all pending window messages. Core code stays
// Qt-free by receiving it as a MessagePump callback.
namespace platform {

using MessagePump = std::function<void()>;

void ProcessMessages();

}  // namespace platform
