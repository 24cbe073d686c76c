#pragma once
#include <string>
#include <vector>

#include "app/platform/failure.h"

// The benchmark's detail axis. The error weight w of ComputeErrorMetric splits a vertex when
// w x (vertical deviation) + (3-D distance term) exceeds its distance from the eye, so a
// vertical deviation d at eye distance D is refined away once d > D / w. Seen by a camera of
// vertical field of view f in a picture H pixels high, d at distance D covers about
// d x (H / (2 tan(f / 2))) / D pixels; the largest such error left is
//   tau = (H / (2 tan(f / 2))) / w  pixels,
// the screen-space error a weight stands for (w = 600 is about 0.97 px at 480 lines and 45
// degrees).

// One detail setting of a run: both spellings of the same setting for the run's picture.
struct DetailSetting {
  float weight;       // the error metric's weight
  double pixelError;  // tau for the run's picture height and the flown camera's field of view

  bool operator==(const DetailSetting&) const = default;
};

// The vertical field of view of the flown camera (camera 0) as it starts, in degrees.
double FlownFieldOfView();

// The one setting of a run without a detail list: the start-up weight kTerrainErrorWeight.
DetailSetting StartupDetail(int pictureHeight);

// Pixels per unit of (vertical deviation / eye distance): H / (2 tan(f / 2)).
double PixelsPerRadian(int pictureHeight, double fieldOfViewDegrees);

double PixelErrorForWeight(double weight, int pictureHeight, double fieldOfViewDegrees);
double WeightForPixelError(double pixelError, int pictureHeight, double fieldOfViewDegrees);

// Most values a detail list may hold.
constexpr int kMaxDetailValues = 16;

// A comma-separated list of positive finite numbers, at most kMaxDetailValues of them. The
// failure's message is the one-line reason (status 2).
Result<std::vector<double>> ParseDetailList(const std::string& text);

// The settings of a list of pixel errors (or of weights, when byWeight), in the list's order: a
// pixel error keeps its value and gets the float weight nearest its tau; a weight is rounded to
// a float and gets its tau. A value whose weight a float does not hold as a positive finite
// number fails with one line (status 2).
Result<std::vector<DetailSetting>> MakeDetailSettings(const std::vector<double>& values, bool byWeight,
                                                      int pictureHeight, double fieldOfViewDegrees);

// "0.97 px": the pixel error with up to three significant digits.
std::string PixelErrorLabel(double pixelError);
