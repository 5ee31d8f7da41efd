#include "document/documenthost.h"

namespace kalmira {

namespace {
MainWindowHost* registeredMainWindow = nullptr;
ToolsHost* registeredTools = nullptr;
PaletteHost* registeredPalette = nullptr;
}  // namespace

void SetMainWindowHost(MainWindowHost* host) { registeredMainWindow = host; }
void SetToolsHost(ToolsHost* host) { registeredTools = host; }
void SetPaletteHost(PaletteHost* host) { registeredPalette = host; }
MainWindowHost* mainWindowHost() { return registeredMainWindow; }
ToolsHost* toolsHost() { return registeredTools; }
PaletteHost* paletteHost() { return registeredPalette; }

}  // namespace kalmira
