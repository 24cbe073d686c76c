#pragma once

// Peak resident memory of the process, so that each method's peak can be measured on its own.

// Sets the kernel's high-water mark back to the current resident size (writes "5" to
// /proc/self/clear_refs). False when the kernel does not allow it: the peak then includes
// everything before.
bool ResetPeakMemory();

// The high-water mark in MiB: VmHWM of /proc/self/status, or getrusage's maximum when that
// cannot be read.
double PeakMemoryMiB();
