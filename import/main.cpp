// quorvane-import: an elevation raster GDAL reads -> a Quorvane height field (see --help).
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <unistd.h>

#include <cstdio>

#include "import/importer.h"
#include "import/options.h"

int main(int argc, char** argv) {
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (parsed.kind == ParsedCommandLine::Kind::kHelp) {
    std::fputs(parsed.text.c_str(), stdout);
    return 0;
  }
  if (parsed.kind == ParsedCommandLine::Kind::kError) {
    std::fprintf(stderr, "%s\n", parsed.text.c_str());
    return kBadOptionsStatus;
  }

  // Decision lines reach a pipe as they are made.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  GDALAllRegister();
  // No .aux.xml files beside the input or anything written.
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  // GDAL's own messages, from every thread, stay quiet: failures come back as one line each.
  CPLSetErrorHandler(CPLQuietErrorHandler);
  std::FILE* progressOut = isatty(STDERR_FILENO) ? stderr : nullptr;

  const Result<ImportSummary> imported =
      RunImport(parsed.options, progressOut, [](const std::string& line) { std::printf("%s\n", line.c_str()); });
  if (!imported.ok()) {
    std::fputs(imported.failure().message.c_str(), stderr);
    return imported.failure().exitStatus;
  }
  return 0;
}
