#pragma once
#include <string>
#include <vector>

#include "headless/bench_results.h"
#include "headless/detail_settings.h"

// Speed at equal picture quality. Each method's results over the run's detail settings make a
// curve of quality (mean PSNR against the brute force) against time (mean frame time, or mean
// CPU time of refine + draw). For each of ROAM's settings, each other method's curve is asked at
// which time it reaches ROAM's PSNR there; the ratio of the two times is the speed-up at equal
// quality.

// One method at one setting.
struct QualityPoint {
  DetailSetting detail;
  double psnr;            // mean over the samples (identical pictures left out, as in the table)
  double differingShare;  // mean share of differing pixels
  double frameMs;         // mean frame time
  double cpuMs;           // mean refine + draw CPU time
};

// A method's points ordered from the coarsest setting to the finest (weight ascending).
struct QualityCurve {
  std::string method;
  std::vector<QualityPoint> points;
};

// Every method of the run with quality samples and a detail setting, in the run's order.
std::vector<QualityCurve> QualityCurves(const BenchRun& run);

enum class Reach {
  kInterpolated,  // between two settings whose PSNRs bracket the target
  kExtrapolated,  // beyond the curve, on the straight line through its two nearest points
  kOutOfRange,    // no estimate: fewer than two usable points, a flat or a non-positive estimate
};

struct TimeAtQuality {
  Reach reach;
  double ms;  // meaningful unless kOutOfRange
};

// The time (the points' member `time`) at which the curve reaches psnr. Points with a PSNR or a
// time that is not finite, or a time that is not positive, are left out. Interpolated: on the
// first segment, from the coarsest setting on, whose two PSNRs bracket the target (a point that
// meets it exactly gives its own time). Extrapolated: when the target lies above (below) every
// PSNR, along the line through the two points of highest (lowest) PSNR, if their PSNRs differ
// and the time it gives is positive. A target that is not finite is out of range.
TimeAtQuality TimeToReach(const std::vector<QualityPoint>& points, double psnr, double QualityPoint::*time);

// One method against one of ROAM's settings.
struct EqualQualityComparison {
  std::string method;
  QualityPoint roam;
  TimeAtQuality frame;  // the method's frame time at ROAM's PSNR
  TimeAtQuality cpu;    // the method's CPU time at ROAM's PSNR
};

// Every method other than ROAM against every point of ROAM's curve (none without a ROAM curve).
std::vector<EqualQualityComparison> CompareAtRoamQuality(const BenchRun& run);

// "at ROAM's quality at 1 px, CABTT L4 adaptive is 1.9x faster (5.4 ms against 10.3 ms)", with
// ", extrapolated" or, out of range, what PSNRs the method reaches.
std::string EqualQualitySentence(const EqualQualityComparison& comparison, const QualityCurve& curve);

// The console section: a table of every comparison, then one sentence each. Empty when the run
// has fewer than two settings, no ROAM curve or no other curve.
std::string FormatEqualQuality(const BenchRun& run);
