#include "tests/gui/gui_rig.h"

#include "gui/common/command_ids.h"
#include "gui/shell/resources.h"
#include "tests/gui/offscreen_suite.h"

#include <cmath>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace velkaro::test {

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

void PutI32Be(std::vector<uint8_t>& out, size_t at, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  out[at] = uint8_t(u >> 24);
  out[at + 1] = uint8_t(u >> 16);
  out[at + 2] = uint8_t(u >> 8);
  out[at + 3] = uint8_t(u);
}

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
              std::nullopt} {
  // Every solve writes "debug.txt" into the current folder.
  previous_folder = QDir::currentPath();
  QDir::setCurrent(dir.path());
}

Rig::~Rig() {
  app.ExitInstance();
  QDir::setCurrent(previous_folder);
}

void Rig::Start() { ASSERT_TRUE(app.InitInstance(context)); }

CSiteView& Rig::SwitchToSite() {
  QTest::mouseClick(Frame().StatusView(), Qt::LeftButton, {}, QPoint(120, 100));
  CSiteView* view = Frame().SiteView();
  EXPECT_NE(view, nullptr);
  QApplication::processEvents();
  return *view;
}

std::vector<uint8_t> FrameBody(uint8_t type, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> body = payload;
  uint8_t check = type;
  for (uint8_t b : payload) check ^= b;
  body.push_back(check);
  return body;
}

std::vector<uint8_t> GpsPayload(bool locked, double lat, double lon) {
  std::vector<uint8_t> p(CGpsData::kPayloadSize, 0);
  p[4] = 6;  // month
  p[5] = 15;
  p[6] = 2026 >> 8;
  p[7] = 2026 & 0xFF;
  p[8] = 12;
  PutI32Be(p, 31, static_cast<int32_t>(std::lround(lat * 3600000.0)));
  PutI32Be(p, 35, static_cast<int32_t>(std::lround(lon * 3600000.0)));
  p[129] = static_cast<uint8_t>((locked ? 7 : 3) << 5);
  return p;
}

void Rig::SendFirmware(const std::string& text) {
  std::vector<uint8_t> payload(text.begin(), text.end());
  payload.push_back(0);
  const auto body = FrameBody(1, payload);
  ASSERT_TRUE(engine.HandleFrame(1, body.data(), static_cast<uint32_t>(body.size())));
}

void Rig::SendSerial(const std::string& text) {
  std::vector<uint8_t> payload(text.begin(), text.end());
  payload.push_back(0);
  const auto body = FrameBody(2, payload);
  ASSERT_TRUE(engine.HandleFrame(2, body.data(), static_cast<uint32_t>(body.size())));
}

void Rig::SendGps(bool locked, double lat, double lon) {
  const auto body = FrameBody(25, GpsPayload(locked, lat, lon));
  ASSERT_TRUE(engine.HandleFrame(25, body.data(), static_cast<uint32_t>(body.size())));
  QApplication::processEvents();
}

std::string Rig::Path(const std::string& name) const {
  return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
}

std::string Rig::WritePlan(const std::string& name, int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, (x * 7 + y * 3) % 256));
  }
  const std::string path = Path(name);
  EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
  return path;
}

void Rig::LoadPlan(const std::string& path) {
  files.answers.push_back(path);
  Frame().SiteView()->OnCommand(ID_NEW_PROJECTION);
  Frame().SiteView()->WaitForLoad();
}

QImage Rows(const QImage& image, int top, int height) {
  return image.copy(0, top, image.width(), height);
}

}  // namespace velkaro::test
