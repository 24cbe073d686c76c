#pragma once
#include <string>
#include <vector>

#include "import/gdal_support.h"
#include "import/texture.h"
#include "terrain/height_field.h"

// Output files are written under temporary names beside their destinations and renamed into
// place together at the end. Invariant: until Commit succeeds, destroying the StagedOutputs
// removes every temporary file, so a failed import leaves nothing behind and no half-written
// file ever carries a real name.
class StagedOutputs {
 public:
  StagedOutputs() = default;
  ~StagedOutputs();
  StagedOutputs(const StagedOutputs&) = delete;
  StagedOutputs& operator=(const StagedOutputs&) = delete;

  // Creates an empty temporary file beside destination and returns its path; fails (with the
  // system's reason) when the destination's directory cannot take it.
  Result<std::string> Stage(const std::string& destination);
  // Renames the staged files into place, the first staged last; on a failure the ones already
  // placed are removed too.
  Status Commit();

 private:
  struct Entry {
    std::string destination;
    std::string temporary;
    bool placed = false;
  };
  std::vector<Entry> entries_;
  bool committed_ = false;
};

// terrain.png -> terrain.scale.txt, beside it.
std::string SidecarPathFor(const std::string& heightFieldPath);

struct SidecarContents {
  double verticalScale = 0.0;  // with the exaggeration
  double exaggeration = 1.0;
  double lowMetres = 0.0;
  double highMetres = 0.0;
  double groundWidthMetres = 0.0;
  int side = 0;
  std::string source;
};

// Writers to a staged path; destination names the file in the reason of a failure. They take
// rows north first, as GDAL makes them, and write them south first: Quorvane puts file row r at
// y = r / (side - 1) and column c at x = c / (side - 1) with z up, so y must grow northwards
// for east to lie right of north, unmirrored (and the texture follows the same rows).
Status WriteHeightFieldPng(const std::string& path, const std::string& destination, int side,
                           const std::vector<HeightSample>& samples);
Status WriteTexturePng(const std::string& path, const std::string& destination, const Texture& texture);
Status WriteSidecar(const std::string& path, const std::string& destination, const SidecarContents& contents);

// Decimal notation (never an exponent) with six significant digits, trailing zeros dropped:
// 0.0473112, 12.5, 0.000012.
std::string FormatDecimal(double value);
