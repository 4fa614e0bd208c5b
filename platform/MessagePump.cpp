#include "platform/MessagePump.h"

#include <QCoreApplication>

namespace platform {

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
