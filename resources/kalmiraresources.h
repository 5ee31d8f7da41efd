#pragma once
// Registers the program's compiled-in resources (":/kalmira/..."). They live in a static
// library, whose resource registration the linker would otherwise drop; every reader of a
// resource calls this first. Calling it again does nothing.

namespace kalmira {

void InitKalmiraResources();

}  // namespace kalmira
