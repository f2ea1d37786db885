#pragma once

// One QApplication on the offscreen platform for a test program or a suite.

#include "gui/shell/resources.h"

#include <cstdlib>

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace velkaro::testing {

// The one QApplication of a test program, on the offscreen platform, set up
// as the program sets itself up. Delete it when the tests are done.
inline QApplication* StartOffscreenApplication() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  PrepareQtForLayout();
  QStandardPaths::setTestModeEnabled(true);
  static int argc = 1;
  static char name[] = "velkaro_test";
  static char* argv[] = {name, nullptr};
  QApplication* app = new QApplication(argc, argv);
  InitResources();
  RaiseImageLimits();
  return app;
}

// A suite that drives the whole application.
class OffscreenSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { app_ = StartOffscreenApplication(); }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

 private:
  static inline QApplication* app_ = nullptr;
};

}  // namespace velkaro::testing
