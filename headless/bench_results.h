#pragma once
#include <optional>
#include <string>
#include <vector>

#include "headless/detail_settings.h"

// What one headless run measured: per frame for every method, plus the quality samples against
// the full-resolution reference. Times are milliseconds.
struct FrameSample {
  int frame = 0;
  double frameMs = 0.0;     // wall time of the whole frame, glFinish included
  double refineMs = 0.0;    // CPU time of this thread in refinement (split/merge and tests)
  double drawMs = 0.0;      // CPU time of this thread in the draw operation (building, submission)
  double triangles = 0.0;   // triangles drawn this frame
  double bytes = 0.0;       // bytes written to the GL this frame
  int splits = 0;           // forced splits included
  int merges = 0;
  int blocksBuilt = 0;      // cache blocks written this frame
  int blocksRedrawn = 0;    // cache blocks drawn again without being written
  int drawCalls = 0;        // GL draw calls issued this frame
  double driverBytes = 0.0;  // vertex and index bytes handed to the driver this frame
};

struct QualitySample {
  int frame = 0;
  double psnr = 0.0;            // dB against the reference picture; infinite when identical
  double differingShare = 0.0;  // share of pixels with a channel off by more than the threshold
};

// One method at one detail setting.
struct MethodResult {
  std::string name;  // as the table shows it, e.g. "ROAM", "CABTT L4 adaptive", "Brute force"
  std::optional<DetailSetting> detail;  // none for the brute force, which draws every triangle
  std::vector<FrameSample> frames;
  std::vector<QualitySample> quality;  // empty when quality was not measured
  double wallSeconds = 0.0;            // all frames, from the first frame's start to the last's end
  double peakMemoryMiB = 0.0;          // peak resident memory while the method ran
};

struct BenchRun {
  std::string terrain;  // height-field path
  std::string flight;   // flight name or CSV path
  int width = 0;
  int height = 0;
  bool rasterizerDiscard = false;  // timed without the rasterizer; pictures from untimed flights
  int qualityThreshold = 0;        // per-channel difference counted as differing
  std::vector<DetailSetting> details;  // the settings every method but the brute force ran at
  bool detailListed = false;           // the settings were asked for (else the start-up weight)
  // By method in the listed order, then by setting in the listed order.
  std::vector<MethodResult> methods;
};
