#pragma once

#include "link/board_session.h"
#include "gui/qt_platform/qt_file_prompt.h"
#include "gui/qt_platform/qt_message_box.h"
#include "gui/qt_platform/qt_wave_player.h"
#include "gui/shell/velkaro_app.h"
#include "site/site_plan.h"
#include "site/site_projection.h"
#include "gui/common/draw.h"

namespace velkaro {

// The program's single instances, built before main and destroyed after it
// in this order of declaration reversed. None of them creates a Qt object
// when constructed.
extern QtMessageBox g_messages;
extern QtWavePlayer g_waves;
extern QtFilePrompt g_files;
extern SystemClock g_clock;  // the one clock: arrival stamps and staleness alike
extern BoardLink g_link;  // the board link's objects, under their own names below
extern CCom& g_com;
extern CParser& g_parser;
extern Published<CGpsData>& g_gps;
extern CEngine& g_engine;
extern CDraw g_draw;
extern CSiteProjection g_projection;
extern CSitePlan g_plan;
extern CVelkaroApp theApp;

}  // namespace velkaro
