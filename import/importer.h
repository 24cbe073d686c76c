#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "import/gdal_support.h"
#include "import/options.h"

// One import, from the elevation raster to the files Quorvane flies: the height field, its
// vertical-scale sidecar and, when asked, the texture. Decisions go to say, one line each, ending
// with "Vertical scale S"; progress bars go to progressOut (none when null). Either every file is
// written or, on failure, none is left behind.
struct ImportSummary {
  double verticalScale = 0.0;
  std::string heightField;
  std::string sidecar;
  std::optional<std::string> texture;
};

// Needs GDALAllRegister() done.
Result<ImportSummary> RunImport(const ImportOptions& options, std::FILE* progressOut, const DecisionLog& say);
