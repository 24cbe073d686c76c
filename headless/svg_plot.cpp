#include "headless/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "app/platform/text_format.h"
#include "headless/bench_report.h"
#include "headless/svg_chart.h"

namespace {

constexpr double kChartPitch = 330;  // top of one chart to the next

using ValueOf = std::function<double(const FrameSample&)>;

std::vector<PlotPoint> Series(const MethodResult& method, const ValueOf& valueOf, bool logarithmic) {
  std::vector<PlotPoint> points;
  points.reserve(method.frames.size());
  for (const FrameSample& frame : method.frames) {
    const double value = valueOf(frame);
    if (std::isfinite(value) && (!logarithmic || value > 0.0))
      points.push_back({static_cast<double>(frame.frame), value});
  }
  return points;
}

std::string RenderChart(const BenchRun& run, double top, const std::string& title, const ValueOf& valueOf,
                        bool logarithmic) {
  std::vector<std::vector<PlotPoint>> series;
  double xLow = INFINITY, xHigh = -INFINITY, yHigh = -INFINITY, yLow = logarithmic ? INFINITY : 0.0;
  for (const MethodResult& method : run.methods) {
    series.push_back(Series(method, valueOf, logarithmic));
    for (const PlotPoint& point : series.back()) {
      xLow = std::min(xLow, point.x);
      xHigh = std::max(xHigh, point.x);
      yLow = std::min(yLow, point.y);
      yHigh = std::max(yHigh, point.y);
    }
  }
  const bool empty = !(xLow <= xHigh);
  if (empty) xLow = 0, xHigh = 1, yHigh = 1, yLow = logarithmic ? 1 : 0;
  if (xHigh <= xLow) xHigh = xLow + 1;
  if (!logarithmic && yHigh <= yLow) yHigh = yLow + 1;
  const Chart chart(top, NiceAxis(xLow, xHigh, 1.0), logarithmic ? LogAxis(yLow, yHigh) : NiceAxis(yLow, yHigh));

  std::string out = chart.Axes(title, "frame");
  if (empty) {
    out += "<text x=\"" + SvgNumber(kPlotLeft + kPlotWidth / 2) + "\" y=\"" + SvgNumber(top + kPlotHeight / 2) +
           "\" text-anchor=\"middle\" fill=\"#888\">no frames</text>\n";
  }
  for (size_t i = 0; i < series.size(); ++i) out += chart.Line(DecimateForPlot(series[i], kMaxPlotPointsPerLine), i);
  return out + "</g>\n";
}

}  // namespace

std::vector<PlotPoint> DecimateForPlot(const std::vector<PlotPoint>& points, size_t maxPoints) {
  if (maxPoints < 4) maxPoints = 4;
  if (points.size() <= maxPoints) return points;
  const size_t interior = points.size() - 2;
  const size_t runs = (maxPoints - 2) / 2;
  std::vector<PlotPoint> kept;
  kept.reserve(2 + 2 * runs);
  kept.push_back(points.front());
  for (size_t run = 0; run < runs; ++run) {
    // Interior points [begin, end) of this run; every run has at least one point.
    const size_t begin = 1 + run * interior / runs;
    const size_t end = 1 + (run + 1) * interior / runs;
    size_t lowest = begin, highest = begin;
    for (size_t i = begin + 1; i < end; ++i) {
      if (points[i].y < points[lowest].y) lowest = i;
      if (points[i].y > points[highest].y) highest = i;
    }
    kept.push_back(points[std::min(lowest, highest)]);
    if (lowest != highest) kept.push_back(points[std::max(lowest, highest)]);
  }
  kept.push_back(points.back());
  return kept;
}

std::string RenderSvgPlot(const BenchRun& run, const PlotOptions& options) {
  const double firstChartTop = kTitleHeight + 30;
  const double legendBottom = firstChartTop + run.methods.size() * kLegendPitch;
  const double height = std::max(firstChartTop + kChartPitch + kPlotHeight + 50, legendBottom + 20);
  std::string out = SvgDocumentStart(height, "Quorvane benchmark", RunSubtitle(run));
  out += RenderChart(run, firstChartTop, options.logTime ? "Frame time (ms, logarithmic)" : "Frame time (ms)",
                     [](const FrameSample& frame) { return frame.frameMs; }, options.logTime);
  out += RenderChart(run, firstChartTop + kChartPitch, "Triangles per frame",
                     [](const FrameSample& frame) { return frame.triangles; }, false);
  std::vector<std::string> names;
  for (const MethodResult& method : run.methods) names.push_back(ResultLabel(run, method));
  out += SvgLegend(names, firstChartTop + 6);
  return out + "</svg>\n";
}

bool WriteSvgPlot(const BenchRun& run, const std::string& path, const PlotOptions& options) {
  AtomicFileWriter writer(path);
  if (!writer.Open()) return false;
  writer.Write(RenderSvgPlot(run, options));
  return writer.Commit();
}
