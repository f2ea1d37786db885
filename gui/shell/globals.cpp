#include "gui/shell/globals.h"

namespace velkaro {

QtMessageBox g_messages;
QtWavePlayer g_waves;
QtFilePrompt g_files;
CCom g_com;
CParser g_parser;
Published<CGpsData> g_gps;
CEngine g_engine(g_com, g_gps);
CDraw g_draw;
CSiteProjection g_projection(g_gps, g_messages, g_waves);
CSitePlan g_plan;
CVelkaroApp theApp;

}  // namespace velkaro
