#include "headless/quality_plot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "headless/bench_report.h"
#include "headless/equal_quality.h"

namespace {

constexpr double kChartPitch = 330;  // top of one chart to the next

// The label beside a point: its pixel error without the unit, which the chart's title gives.
std::string PointLabel(double pixelError) {
  const std::string label = PixelErrorLabel(pixelError);
  return label.substr(0, label.size() - 3);
}

std::string RenderChart(const std::vector<QualityCurve>& curves, double top, const std::string& title,
                        const std::string& xName, double QualityPoint::*time, bool logarithmic) {
  std::vector<std::vector<PlotPoint>> series;
  std::vector<std::vector<double>> pixelErrors;
  double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
  for (const QualityCurve& curve : curves) {
    series.emplace_back();
    pixelErrors.emplace_back();
    for (const QualityPoint& point : curve.points) {
      const double x = point.*time;
      if (!std::isfinite(point.psnr) || !std::isfinite(x) || (logarithmic && !(x > 0.0))) continue;
      series.back().push_back({x, point.psnr});
      pixelErrors.back().push_back(point.detail.pixelError);
      xLow = std::min(xLow, x);
      xHigh = std::max(xHigh, x);
      yLow = std::min(yLow, point.psnr);
      yHigh = std::max(yHigh, point.psnr);
    }
  }
  const bool empty = !(xLow <= xHigh);
  if (empty) xLow = 1, xHigh = 10, yLow = 0, yHigh = 1;
  if (!logarithmic && xHigh <= xLow) xLow = std::max(0.0, xLow - 1), xHigh += 1;
  const Chart chart(top, logarithmic ? LogAxis(xLow, xHigh) : NiceAxis(std::min(0.0, xLow), xHigh),
                    NiceAxis(yLow, yHigh));

  std::string out = chart.Axes(title, xName);
  if (empty) {
    out += "<text x=\"" + SvgNumber(kPlotLeft + kPlotWidth / 2) + "\" y=\"" + SvgNumber(top + kPlotHeight / 2) +
           "\" text-anchor=\"middle\" fill=\"#888\">no quality samples</text>\n";
  }
  for (size_t i = 0; i < series.size(); ++i) {
    if (series[i].size() > 1) out += chart.Line(series[i], i);
    for (size_t p = 0; p < series[i].size(); ++p) {
      out += chart.Marker(series[i][p], i);
      out += "<text x=\"" + SvgNumber(chart.X(series[i][p].x) + 5) + "\" y=\"" + SvgNumber(chart.Y(series[i][p].y) - 5) +
             "\" font-size=\"10\" fill=\"" + SeriesColour(i) + "\">" + PointLabel(pixelErrors[i][p]) + "</text>\n";
    }
  }
  return out + "</g>\n";
}

}  // namespace

std::string RenderQualityPlot(const BenchRun& run, const PlotOptions& options) {
  const std::vector<QualityCurve> curves = QualityCurves(run);
  const double firstChartTop = kTitleHeight + 30;
  const double legendBottom = firstChartTop + curves.size() * kLegendPitch;
  const double height = std::max(firstChartTop + kChartPitch + kPlotHeight + 50, legendBottom + 20);
  const std::string scale = options.logTime ? ", logarithmic" : "";
  std::string out = SvgDocumentStart(height, "Quorvane benchmark: quality against time", RunSubtitle(run));
  out += RenderChart(curves, firstChartTop, "PSNR (dB) against frame time; points labelled with their pixel error",
                     "mean frame time (ms" + scale + ")", &QualityPoint::frameMs, options.logTime);
  out += RenderChart(curves, firstChartTop + kChartPitch, "PSNR (dB) against CPU time (refine + draw)",
                     "mean CPU time of the rendering thread (ms" + scale + ")", &QualityPoint::cpuMs, options.logTime);
  std::vector<std::string> names;
  for (const QualityCurve& curve : curves) names.push_back(curve.method);
  out += SvgLegend(names, firstChartTop + 6);
  return out + "</svg>\n";
}

bool WriteQualityPlot(const BenchRun& run, const std::string& path, const PlotOptions& options) {
  AtomicFileWriter writer(path);
  if (!writer.Open()) return false;
  writer.Write(RenderQualityPlot(run, options));
  return writer.Commit();
}
