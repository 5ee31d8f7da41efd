#pragma once
// The palette editor joined to the rest of the program: it becomes the documents' palette host
// and works on the main window's active document and tools window through its hooks.

namespace kalmira {

class frmMain;

// Creates the palette editor owned by `main`, registers it with the main window and as the
// documents' palette host.
void installPaletteWindow(frmMain& main);

}  // namespace kalmira
