// Running part of a test without root's right to ignore permission bits.
#pragma once

#include <functional>

// Runs `action` in a child process that may not write where only the owner of
// a read-only folder could: as root (who ignores permission bits) the child
// drops to the user "nobody" first. Returns the action's result, or -1.
int runUnprivileged(const std::function<int()>& action);
