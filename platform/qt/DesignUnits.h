#pragma once

class QWidget;

// Design units: the window's sizes are given at 120 pixels per inch and scale
// with the screen's logical resolution.
namespace platform {

double DesignScale(const QWidget* widget);
int Du(const QWidget* widget, int designPixels);

}  // namespace platform
