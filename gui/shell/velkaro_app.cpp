#include "gui/shell/velkaro_app.h"

#include "gui/shell/about_dialog.h"
#include "gui/common/command_ids.h"
#include "gui/shell/main_frame.h"

namespace velkaro {

CVelkaroApp::CVelkaroApp() = default;
CVelkaroApp::~CVelkaroApp() = default;

bool CVelkaroApp::InitInstance(AppContext& context) {
  // The handheld started its socket layer here; Linux has nothing to start.
  frame_ = std::make_unique<CMainFrame>(context, *this, doc_);
  if (frame_->OnCreate() != 0) {
    frame_.reset();
    return false;
  }
  frame_->show();
  return true;
}

void CVelkaroApp::ExitInstance() { frame_.reset(); }

bool CVelkaroApp::HandlesCommand(int id) const { return id == ID_APP_ABOUT; }

void CVelkaroApp::OnCommand(int id) {
  if (id == ID_APP_ABOUT) OnAppAbout();
}

void CVelkaroApp::OnAppAbout() {
  CAboutDlg about(frame_.get());
  about.exec();
}

}  // namespace velkaro
