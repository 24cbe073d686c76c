#include "headless/equal_quality.h"

#include <algorithm>
#include <cmath>

#include "headless/bench_engine.h"
#include "headless/bench_report.h"
#include "app/platform/text_format.h"
#include "headless/text_table.h"

namespace {

const std::string& RoamName() {
  static const std::string name = BenchMethodName({BenchMethod::Kind::kRoam, 0, true});
  return name;
}

bool Usable(const QualityPoint& point, double QualityPoint::*time) {
  return std::isfinite(point.psnr) && std::isfinite(point.*time) && point.*time > 0.0;
}

// The time at psnr on the line through a and b (a.psnr != b.psnr).
double TimeOnLine(const QualityPoint& a, const QualityPoint& b, double psnr, double QualityPoint::*time) {
  return a.*time + (psnr - a.psnr) / (b.psnr - a.psnr) * (b.*time - a.*time);
}

const QualityCurve* FindCurve(const std::vector<QualityCurve>& curves, const std::string& method) {
  for (const QualityCurve& curve : curves)
    if (curve.method == method) return &curve;
  return nullptr;
}

std::string Ms(double ms) { return FormatFixed(ms, ms < 10.0 ? 2 : 1) + " ms"; }

std::string Ratio(double ratio) { return FormatFixed(ratio, ratio < 10.0 ? 2 : 1) + "x"; }

// The cells of a time at quality: the time, and the speed-up of the method over ROAM's time.
std::pair<std::string, std::string> TimeCells(const TimeAtQuality& at, double roamMs) {
  if (at.reach == Reach::kOutOfRange) return {"-", "-"};
  return {FormatFixed(at.ms, 3), Ratio(roamMs / at.ms)};
}

const char* ReachText(Reach reach) {
  switch (reach) {
    case Reach::kInterpolated:
      return "";
    case Reach::kExtrapolated:
      return "extrapolated";
    case Reach::kOutOfRange:
      break;
  }
  return "out of range";
}

}  // namespace

std::vector<QualityCurve> QualityCurves(const BenchRun& run) {
  std::vector<QualityCurve> curves;
  for (const MethodResult& result : run.methods) {
    if (!result.detail || result.quality.empty()) continue;
    const MethodSummary summary = Summarize(result);
    QualityCurve* curve = nullptr;
    for (QualityCurve& existing : curves)
      if (existing.method == result.name) curve = &existing;
    if (curve == nullptr) curve = &curves.emplace_back(QualityCurve{result.name, {}});
    curve->points.push_back(
        {*result.detail, summary.meanPsnr, summary.meanDifferingShare, summary.frameMsPerFrame, summary.cpuMsPerFrame});
  }
  for (QualityCurve& curve : curves)
    std::stable_sort(curve.points.begin(), curve.points.end(),
                     [](const QualityPoint& a, const QualityPoint& b) { return a.detail.weight < b.detail.weight; });
  return curves;
}

TimeAtQuality TimeToReach(const std::vector<QualityPoint>& points, double psnr, double QualityPoint::*time) {
  const TimeAtQuality outOfRange{Reach::kOutOfRange, 0.0};
  if (!std::isfinite(psnr)) return outOfRange;
  std::vector<QualityPoint> usable;
  for (const QualityPoint& point : points)
    if (Usable(point, time)) usable.push_back(point);
  for (size_t i = 0; i < usable.size(); ++i) {
    if (usable[i].psnr == psnr) return {Reach::kInterpolated, usable[i].*time};
    if (i + 1 == usable.size()) break;
    const QualityPoint& a = usable[i];
    const QualityPoint& b = usable[i + 1];
    if (std::min(a.psnr, b.psnr) < psnr && psnr < std::max(a.psnr, b.psnr))
      return {Reach::kInterpolated, TimeOnLine(a, b, psnr, time)};
  }
  if (usable.size() < 2) return outOfRange;
  // Nothing brackets the target: it lies beyond every PSNR. The two nearest points by PSNR.
  std::sort(usable.begin(), usable.end(), [](const QualityPoint& a, const QualityPoint& b) { return a.psnr < b.psnr; });
  const bool above = psnr > usable.back().psnr;
  const QualityPoint& nearest = above ? usable[usable.size() - 1] : usable[0];
  const QualityPoint& next = above ? usable[usable.size() - 2] : usable[1];
  if (nearest.psnr == next.psnr) return outOfRange;
  const double ms = TimeOnLine(nearest, next, psnr, time);
  if (!std::isfinite(ms) || ms <= 0.0) return outOfRange;
  return {Reach::kExtrapolated, ms};
}

std::vector<EqualQualityComparison> CompareAtRoamQuality(const BenchRun& run) {
  std::vector<EqualQualityComparison> comparisons;
  const std::vector<QualityCurve> curves = QualityCurves(run);
  const QualityCurve* roam = FindCurve(curves, RoamName());
  if (roam == nullptr) return comparisons;
  for (const QualityCurve& curve : curves) {
    if (&curve == roam) continue;
    for (const QualityPoint& point : roam->points) {
      comparisons.push_back({curve.method, point, TimeToReach(curve.points, point.psnr, &QualityPoint::frameMs),
                             TimeToReach(curve.points, point.psnr, &QualityPoint::cpuMs)});
    }
  }
  return comparisons;
}

std::string EqualQualitySentence(const EqualQualityComparison& comparison, const QualityCurve& curve) {
  const std::string start = "at " + RoamName() + "'s quality at " + PixelErrorLabel(comparison.roam.detail.pixelError) +
                            " (" + FormatFixed(comparison.roam.psnr, 2) + " dB), " + comparison.method;
  if (comparison.frame.reach == Reach::kOutOfRange) {
    double low = INFINITY, high = -INFINITY;
    for (const QualityPoint& point : curve.points) {
      if (!std::isfinite(point.psnr)) continue;
      low = std::min(low, point.psnr);
      high = std::max(high, point.psnr);
    }
    const std::string reached = low <= high ? "it reaches " + FormatFixed(low, 2) + " to " + FormatFixed(high, 2) +
                                                  " dB"
                                            : "no finite PSNR";
    return start + ": out of range (" + reached + ")";
  }
  const double ratio = comparison.roam.frameMs / comparison.frame.ms;
  const std::string how = ratio >= 1.0 ? Ratio(ratio) + " faster" : Ratio(1.0 / ratio) + " slower";
  return start + " is " + how + " (" + Ms(comparison.frame.ms) + " against " + Ms(comparison.roam.frameMs) + ")" +
         (comparison.frame.reach == Reach::kExtrapolated ? ", extrapolated" : "");
}

std::string FormatEqualQuality(const BenchRun& run) {
  if (run.details.size() < 2) return "";
  const std::vector<EqualQualityComparison> comparisons = CompareAtRoamQuality(run);
  if (comparisons.empty()) return "";
  const std::vector<QualityCurve> curves = QualityCurves(run);

  using Align = TextTable::Align;
  TextTable table({{"method", Align::kLeft},
                   {"ROAM at", Align::kRight},
                   {"PSNR dB", Align::kRight},
                   {"ROAM ms", Align::kRight},
                   {"ms", Align::kRight},
                   {"speed-up", Align::kRight},
                   {"ROAM cpu", Align::kRight},
                   {"cpu ms", Align::kRight},
                   {"cpu speed-up", Align::kRight},
                   {"note", Align::kLeft}});
  std::string sentences;
  for (const EqualQualityComparison& c : comparisons) {
    const auto [frameMs, frameRatio] = TimeCells(c.frame, c.roam.frameMs);
    const auto [cpuMs, cpuRatio] = TimeCells(c.cpu, c.roam.cpuMs);
    std::string note = ReachText(c.frame.reach);
    if (c.cpu.reach != c.frame.reach)
      note += (note.empty() ? "cpu " : "; cpu ") +
              std::string(c.cpu.reach == Reach::kInterpolated ? "interpolated" : ReachText(c.cpu.reach));
    table.AddRow({c.method, PixelErrorLabel(c.roam.detail.pixelError), FormatFixed(c.roam.psnr, 2),
                  FormatFixed(c.roam.frameMs, 3), frameMs, frameRatio, FormatFixed(c.roam.cpuMs, 3), cpuMs, cpuRatio,
                  note});
    sentences += EqualQualitySentence(c, *FindCurve(curves, c.method)) + "\n";
  }
  return "\nAt equal quality: the mean frame time (ms) and CPU time (refine + draw) at which each method\n"
         "reaches ROAM's mean PSNR at each of ROAM's settings, interpolated on the method's own curve of\n"
         "PSNR against time between its two bracketing settings; speed-up: ROAM's time over the method's.\n\n" +
         table.Render() + "\n" + sentences;
}
