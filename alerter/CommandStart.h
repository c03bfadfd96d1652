#pragma once
#include "alerter/AlertSession.h"

namespace Klaxor {

// Starts the program detached, without a shell, in the current folder: 0 when it
// started, else 2 (no such program), 3 (its folder does not exist), 5 (not allowed to
// run it) or 11 (it exists but cannot be run), the codes the shell's execute gives.
int startDetachedCommand(const CommandLine& command);

}  // namespace Klaxor
