#pragma once

// Ends the process at once with the given status after flushing the Terrain log and
// standard output. Used for bad input files and exhausted resources: there is no recovery.
[[noreturn]] void FatalExit(int status);
