#include "platform/qt/DesignUnits.h"

#include <QWidget>
#include <cmath>

namespace platform {

double DesignScale(const QWidget* widget) { return widget->logicalDpiY() / 120.0; }

int Du(const QWidget* widget, int designPixels) {
  return static_cast<int>(std::lround(designPixels * DesignScale(widget)));
}

}  // namespace platform
