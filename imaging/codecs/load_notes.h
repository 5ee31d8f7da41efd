#pragma once
// What a reader noticed about the data it decoded besides the picture, for callers that tell
// the user: today whether the file was damaged and only the part that arrived is shown (a GIF
// or JPEG cut short, as browsers show it). Readers note it on the thread that decodes; a
// caller takes the notes on the same thread right after its load.

namespace imaging {

struct LoadNotes {
    bool damaged = false;
};

// For readers: the file is damaged; the picture they return holds what could be read.
void noteDamaged();

// The notes since the last take on this thread, which are then cleared. Take them once before
// a load too, so that nothing noted by an earlier one is counted.
LoadNotes takeLoadNotes();

}  // namespace imaging
