#pragma once
#include <string>
#include <vector>

class RecordingGeometryCache;

// Structure of the active CABTT tree: corners and split vertices, neighbour links (symmetric,
// geometrically right, null exactly on the border), conformity, membership of both queues,
// and, with a cache, that the live blocks are exactly those held by leaves. Empty when sound.
std::vector<std::string> CabttInvariantViolations(const RecordingGeometryCache* cache = nullptr);

// Every queue entry has a key not below CabttTravel (nothing is left to test).
std::vector<std::string> CabttUnsettledEntries();

// No tree, empty queues, no live block.
std::vector<std::string> CabttTornDownViolations(const RecordingGeometryCache& cache);

// The violations as one line each, for failure messages.
std::string Describe(const std::vector<std::string>& violations);
