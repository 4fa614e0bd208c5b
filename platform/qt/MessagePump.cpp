#include "platform/qt/MessagePump.h"

#include <QCoreApplication>

namespace platform {

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
