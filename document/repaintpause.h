#pragma once
// Switches a control's repainting off for a scope and back to what it was, so a rebuild draws
// once at its end.

#include "qt/imagecontrol.h"

namespace kalmira {

class RepaintPause {
public:
    explicit RepaintPause(imaging::ImageControl& control) : control_(control), was_(control.AutoRepaint()) {
        control_.SetAutoRepaint(false);
    }
    ~RepaintPause() { control_.SetAutoRepaint(was_); }
    RepaintPause(const RepaintPause&) = delete;
    RepaintPause& operator=(const RepaintPause&) = delete;

private:
    imaging::ImageControl& control_;
    bool was_;
};

}  // namespace kalmira
