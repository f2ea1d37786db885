// File > Export: the saved projection file's plan for GIS tools and field
// apps, in the format of the name the user picks.
#include "gis/projection_export.h"
#include "gui/common/wait_cursor.h"
#include "gui/site_view/site_view.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>

#include <QEventLoop>
#include <QTimer>

namespace velkaro {

namespace {

const char kExportFilter[] =
    "GeoTIFF (*.tif)|*.tif|Geospatial PDF (*.pdf)|*.pdf|MBTiles (*.mbtiles)|*.mbtiles|"
    "Google Earth KMZ (*.kmz)|*.kmz||";
constexpr int kExportPollMs = 50;

}  // namespace

void CSiteView::OnExport() {
  // The export reads the geocode and the plan from the saved file.
  const std::string file = projection_.m_strPath;
  struct stat info {};
  if (file.empty() || ::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    messages_.ShowOk("Save the projection file first: the export is made from it.");
    return;
  }
  std::string proposed = file;
  if (proposed.size() > 4 && proposed.compare(proposed.size() - 4, 4, ".vlk") == 0)
    proposed.resize(proposed.size() - 4);
  const std::optional<std::string> out =
      files_.SaveFile("Export plan", kExportFilter, ".tif", true, proposed + ".tif");
  if (!out) return;
  // The export reads only the projection file, but the side files being
  // flushed would share the disk with it: one after the other.
  WaitForSideFiles();

  // A 100-megapixel plan takes seconds: the window keeps painting meanwhile,
  // and takes no command until the export is over.
  WaitCursor wait;
  exporting_ = true;
  std::string failure;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    failure = gis::ExportProjection(file, *out);
    done.store(true);
  });
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done.load()) loop.quit();
  });
  poll.start(kExportPollMs);
  if (!done.load()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  exporting_ = false;
  if (!failure.empty()) {
    messages_.ShowOk(failure);
    return;
  }
  emit noted(QString::fromStdString("Exported " + *out + " from " + file + "."));
}

}  // namespace velkaro
