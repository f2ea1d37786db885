#include "gui/shell/globals.h"

namespace velkaro {

QtMessageBox g_messages;
QtWavePlayer g_waves;
QtFilePrompt g_files;
SystemClock g_clock;
BoardLink g_link{g_clock};
CCom& g_com = g_link.com;
CParser& g_parser = g_link.parser;
Published<CGpsData>& g_gps = g_link.gps;
CEngine& g_engine = g_link.engine;
CDraw g_draw;
CSiteProjection g_projection;
CSitePlan g_plan;
CVelkaroApp theApp;

}  // namespace velkaro
