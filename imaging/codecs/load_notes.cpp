#include "codecs/load_notes.h"

namespace imaging {

namespace {

// One per thread: decodes on worker threads never mix with the window's.
thread_local LoadNotes notes;

}  // namespace

void noteDamaged() { notes.damaged = true; }

LoadNotes takeLoadNotes() {
    const LoadNotes taken = notes;
    notes = LoadNotes{};
    return taken;
}

}  // namespace imaging
