#pragma once

#include "gui/common/command_target.h"
#include "gui/shell/velkaro_doc.h"

#include <memory>

namespace velkaro {

struct AppContext;
class CMainFrame;

// The application: creates the document and the main frame, and handles the
// About command. Constructing it creates no Qt object, so the program keeps
// it as a global built before the QApplication. UI thread only.
class CVelkaroApp : public ICommandTarget {
 public:
  CVelkaroApp();
  ~CVelkaroApp() override;

  // Creates the frame on `context` (which must outlive ExitInstance), runs
  // its start-up and shows it. Returns false when the program is to end.
  bool InitInstance(AppContext& context);
  // Destroys the frame: the link worker stops before the port can close.
  void ExitInstance();

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void OnAppAbout();

  CMainFrame* MainFrame() const { return frame_.get(); }
  CVelkaroDoc& Document() { return doc_; }

 private:
  CVelkaroDoc doc_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace velkaro
