#pragma once
#include <string>

// For death tests that check what a fatal path prints on standard output: the statement calls
// StdoutToStderr() first, and the expected text is matched as a whole with ExactOutput().

// Sends standard output, and the Terrain log when one is open, to the standard error stream,
// which the death test captures.
void StdoutToStderr();

// Anchored regular expression matching exactly this text.
std::string ExactOutput(const std::string& text);
