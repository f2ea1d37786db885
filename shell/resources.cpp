#include "shell/resources.h"

#include <cstdlib>

#include <QGuiApplication>
#include <QImageReader>

#ifdef VELKARO_HAVE_RESOURCES
static void RegisterVelkaroResources() { Q_INIT_RESOURCE(velkaro); }
#endif

namespace velkaro {

void InitResources() {
#ifdef VELKARO_HAVE_RESOURCES
  RegisterVelkaroResources();
#endif
}

void PrepareQtForLayout() {
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
}

void RaiseImageLimits() {
  // A 10000 x 10000 plan decodes to 4 bytes a pixel: about 400 MB.
  QImageReader::setAllocationLimit(512);
}

}  // namespace velkaro
