#pragma once

namespace velkaro {

// Registers the program's embedded artwork and sounds (":/bitmaps/...",
// ":/waves/...", ":/icons/app", ":/demo/campus.bmp") with Qt. Call once,
// after the QApplication exists; harmless when the build has none.
void InitResources();

// Qt settings the fixed 240-pixel layout needs: no high-dpi scaling (one
// layout pixel is one device pixel). Call before the QApplication exists.
void PrepareQtForLayout();

// After the QApplication exists: lets the image reader decode plans of up
// to 10000 x 10000 pixels.
void RaiseImageLimits();

}  // namespace velkaro
