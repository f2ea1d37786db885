#include "gui/shell/resources.h"

#include <cstdlib>

#include <QGuiApplication>
#include <QImageReader>

// The resource file is compiled into a static library: register it by hand.
static void RegisterVelkaroResources() { Q_INIT_RESOURCE(velkaro); }

namespace velkaro {

void InitResources() { RegisterVelkaroResources(); }

void PrepareQtForLayout() {
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
}

void RaiseImageLimits() {
  // The free memory, checked before each plan is read, is what limits a
  // plan's size, not a fixed figure.
  QImageReader::setAllocationLimit(0);
}

}  // namespace velkaro
