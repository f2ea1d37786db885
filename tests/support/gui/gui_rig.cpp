#include "tests/support/gui/gui_rig.h"

#include "gui/common/command_ids.h"
#include "gui/shell/resources.h"
#include "image/bmp_writer.h"
#include "simulator/board_frames.h"
#include "simulator/demo_site.h"
#include "tests/support/frames.h"
#include "tests/support/gui/offscreen_suite.h"

#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace velkaro::testing {

namespace {

// One QApplication on the offscreen platform for the whole test program.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = StartOffscreenApplication(); }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

Rig::Rig()
    : context{link,
              projection,
              plan,
              draw,
              messages,
              waves,
              files,
              clock,
              registry,
              opener,
              "",
              [this] { ++beeps; },
              [this](QWidget&) { ++snapshots; },
              std::nullopt} {}

Rig::~Rig() { app.ExitInstance(); }

void Rig::Start() { ASSERT_TRUE(app.InitInstance(context)); }

CSiteView& Rig::SwitchToSite() {
  QTest::mouseClick(Frame().StatusView(), Qt::LeftButton, {}, QPoint(120, 100));
  CSiteView* view = Frame().SiteView();
  EXPECT_NE(view, nullptr);
  QApplication::processEvents();
  return *view;
}

void Rig::SendFirmware(const std::string& text) {
  ASSERT_EQ(testing::Deliver(link.engine, board::EncodeTextFrame(board::kTypeFirmware, text)), 1);
}

void Rig::SendSerial(const std::string& text) {
  ASSERT_EQ(testing::Deliver(link.engine, board::EncodeTextFrame(board::kTypeSerial, text)), 1);
}

void Rig::SendGps(bool locked, double lat, double lon) {
  const testing::Bytes frame =
      testing::FrameOf(board::kTypePosition, testing::PositionPayload(locked, lat, lon));
  ASSERT_EQ(testing::Deliver(link.engine, frame), 1);
  QApplication::processEvents();
}

std::string Rig::Path(const std::string& name) const { return dir.File(name); }

std::string Rig::WritePlan(const std::string& name, int w, int h) {
  const std::string path = Path(name);
  const Status written = image::WriteBmp(path, {.width = w, .height = h}, [w](int32_t y, uint8_t* rgb) {
    for (int x = 0; x < w; ++x, rgb += 3) {
      rgb[0] = static_cast<uint8_t>(x % 256);
      rgb[1] = static_cast<uint8_t>(y % 256);
      rgb[2] = static_cast<uint8_t>((x * 7 + y * 3) % 256);
    }
  });
  EXPECT_TRUE(written.ok()) << written.message();
  return path;
}

void Rig::LoadPlan(const std::string& path) {
  files.answers.push_back(path);
  Frame().SiteView()->OnCommand(ID_NEW_PROJECTION);
  Frame().SiteView()->WaitForLoad();
}

CSiteView& Rig::OpenProjection(const std::string& path) {
  CSiteView& view = SwitchToSite();
  files.answers.push_back(path);
  Run(ID_OPEN_PROJECTION);
  return view;
}

void Rig::Run(int id) {
  Frame().CommandAction(id)->trigger();
  Frame().SiteView()->WaitForLoad();
}

void Rig::CaptureFive() {
  const board::DemoSite& site = board::BuiltInDemoSite();
  for (int i = 0; i < 5; ++i) {
    const board::DemoLandmark& landmark = site.landmarks.at(i);
    CGpsData d;
    d.m_fixMode = 7;
    d.m_latB = site.Lat(landmark.y);
    d.m_lonB = site.Lon(landmark.x);
    link.gps.Publish(d);
    ASSERT_TRUE(projection.AddTap(landmark.x, landmark.y, d).messages().empty());
  }
}

QImage Rows(const QImage& image, int top, int height) {
  return image.copy(0, top, image.width(), height);
}

}  // namespace velkaro::testing
