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
  // A 10000 x 10000 plan decodes to 4 bytes a pixel: about 400 MB.
  QImageReader::setAllocationLimit(512);
}

}  // namespace velkaro
