#include "headless/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "app/platform/text_format.h"
#include "headless/bench_report.h"

namespace {

constexpr double kWidth = 980;
constexpr double kPlotLeft = 80;
constexpr double kPlotWidth = 620;
constexpr double kPlotHeight = 240;
constexpr double kTitleHeight = 50;
constexpr double kChartPitch = 330;  // top of one chart to the next
constexpr double kLegendLeft = kPlotLeft + kPlotWidth + 30;
constexpr double kLegendPitch = 18;
constexpr int kTargetTicks = 6;
constexpr int kMostTicks = 100;

const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
constexpr size_t kColourCount = sizeof kColours / sizeof kColours[0];
// Past the palette, lines repeat colours with a dash pattern.
const char* const kDashes[] = {"", "6,3", "2,2", "8,3,2,3"};
constexpr size_t kDashCount = sizeof kDashes / sizeof kDashes[0];

struct PlotPoint {
  double x;
  double y;
};

using ValueOf = std::function<double(const FrameSample&)>;

// Text safe inside XML character data and quoted attribute values: & < > " ' become entities;
// control characters XML 1.0 cannot carry at all become '?'.
std::string EscapeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool allowedControl = c == '\t' || c == '\n' || c == '\r';
        out += (byte < 0x20 && !allowedControl) ? '?' : c;
      }
    }
  }
  return out;
}

// At most maxPoints (at least 4) of the points, in their order, as the header describes.
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

// A chart axis on round numbers: the range widened outwards to multiples of the step.
struct AxisScale {
  double low;
  double high;
  double step;

  std::vector<double> Ticks() const {
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(low) || !std::isfinite(high)) return ticks;
    for (int i = 0; i <= kMostTicks; ++i) {
      const double value = low + i * step;
      if (value > high + step * 1e-6) break;
      ticks.push_back(value);
    }
    return ticks;
  }
};

double NiceStep(double rough) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  const double residual = rough / magnitude;
  if (residual <= 1.0) return magnitude;
  if (residual <= 2.0) return 2.0 * magnitude;
  if (residual <= 5.0) return 5.0 * magnitude;
  return 10.0 * magnitude;
}

// About kTargetTicks steps over the data; minimumStep keeps frame numbers on whole numbers.
AxisScale NiceAxis(double low, double high, double minimumStep = 0.0) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0.0, high = 1.0;
  if (high < low) std::swap(low, high);
  if (high == low) {
    const double widen = low == 0.0 ? 1.0 : std::fabs(low) * 0.5;
    low -= widen;
    high += widen;
  }
  AxisScale axis{0.0, 0.0, std::max(NiceStep((high - low) / kTargetTicks), minimumStep)};
  axis.low = std::floor(low / axis.step) * axis.step;
  axis.high = std::ceil(high / axis.step) * axis.step;
  // A range too wide for the budget of ticks (huge values against a tiny minimum step).
  while ((axis.high - axis.low) / axis.step > kMostTicks) axis.step *= 10.0;
  axis.low = std::floor(low / axis.step) * axis.step;
  axis.high = std::ceil(high / axis.step) * axis.step;
  return axis;
}

int DecimalsFor(double step) {
  if (!(step > 0) || step >= 1.0) return 0;
  return static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

// As few decimals as the axis's step needs; zero is always "0".
std::string FormatTick(double value, const AxisScale& axis) {
  const double step = axis.step;
  if (std::fabs(value) < step * 1e-6) return "0";
  const double magnitude = std::fmax(std::fabs(axis.low), std::fabs(axis.high));
  if (magnitude >= 1e6) return FormatFixed(value / 1e6, DecimalsFor(step / 1e6)) + "M";
  if (magnitude >= 1e4) return FormatFixed(value / 1e3, DecimalsFor(step / 1e3)) + "k";
  return FormatFixed(value, DecimalsFor(step));
}

std::string Num(double value) { return FormatFixed(value, 1); }

std::string StrokeAttributes(size_t method) {
  std::string text = "stroke=\"" + std::string(kColours[method % kColourCount]) + "\"";
  const char* dash = kDashes[(method / kColourCount) % kDashCount];
  if (*dash != '\0') text += " stroke-dasharray=\"" + std::string(dash) + "\"";
  return text;
}

std::vector<PlotPoint> Series(const MethodResult& method, const ValueOf& valueOf) {
  std::vector<PlotPoint> points;
  points.reserve(method.frames.size());
  for (const FrameSample& frame : method.frames) {
    const double value = valueOf(frame);
    if (std::isfinite(value)) points.push_back({static_cast<double>(frame.frame), value});
  }
  return points;
}

class Chart {
 public:
  Chart(double top, const AxisScale& x, const AxisScale& y) : top_(top), x_(x), y_(y) {}
  double X(double value) const { return kPlotLeft + (value - x_.low) / (x_.high - x_.low) * kPlotWidth; }
  double Y(double value) const { return top_ + kPlotHeight - (value - y_.low) / (y_.high - y_.low) * kPlotHeight; }

  std::string Axes(const std::string& title) const {
    const double bottom = top_ + kPlotHeight;
    std::string out = "<g class=\"chart\">\n";
    out += "<text x=\"" + Num(kPlotLeft) + "\" y=\"" + Num(top_ - 12) + "\" font-size=\"15\" font-weight=\"bold\">" +
           EscapeXml(title) + "</text>\n";
    for (const double tick : y_.Ticks()) {
      out += "<line x1=\"" + Num(kPlotLeft) + "\" y1=\"" + Num(Y(tick)) + "\" x2=\"" + Num(kPlotLeft + kPlotWidth) +
             "\" y2=\"" + Num(Y(tick)) + "\" stroke=\"#e4e4e4\"/>\n";
      out += "<text x=\"" + Num(kPlotLeft - 6) + "\" y=\"" + Num(Y(tick) + 4) + "\" text-anchor=\"end\">" +
             FormatTick(tick, y_) + "</text>\n";
    }
    for (const double tick : x_.Ticks()) {
      out += "<line x1=\"" + Num(X(tick)) + "\" y1=\"" + Num(bottom) + "\" x2=\"" + Num(X(tick)) + "\" y2=\"" +
             Num(bottom + 5) + "\" stroke=\"#444\"/>\n";
      out += "<text x=\"" + Num(X(tick)) + "\" y=\"" + Num(bottom + 18) + "\" text-anchor=\"middle\">" +
             FormatTick(tick, x_) + "</text>\n";
    }
    out += "<rect x=\"" + Num(kPlotLeft) + "\" y=\"" + Num(top_) + "\" width=\"" + Num(kPlotWidth) + "\" height=\"" +
           Num(kPlotHeight) + "\" fill=\"none\" stroke=\"#444\"/>\n";
    out += "<text x=\"" + Num(kPlotLeft + kPlotWidth / 2) + "\" y=\"" + Num(bottom + 36) +
           "\" text-anchor=\"middle\">frame</text>\n";
    return out;
  }

  std::string Line(const std::vector<PlotPoint>& points, size_t method) const {
    std::string out = "<polyline fill=\"none\" stroke-width=\"1.3\" " + StrokeAttributes(method) + " points=\"";
    for (size_t i = 0; i < points.size(); ++i) {
      if (i > 0) out += ' ';
      out += Num(X(points[i].x)) + "," + Num(Y(points[i].y));
    }
    out += "\"/>\n";
    // A single point draws no line: mark it.
    if (points.size() == 1) {
      out += "<circle cx=\"" + Num(X(points[0].x)) + "\" cy=\"" + Num(Y(points[0].y)) + "\" r=\"3\" fill=\"" +
             kColours[method % kColourCount] + "\"/>\n";
    }
    return out;
  }

 private:
  double top_;
  AxisScale x_, y_;
};

std::string RenderChart(const BenchRun& run, double top, const std::string& title, const ValueOf& valueOf) {
  std::vector<std::vector<PlotPoint>> series;
  double xLow = INFINITY, xHigh = -INFINITY, yHigh = -INFINITY, yLow = 0.0;
  for (const MethodResult& method : run.methods) {
    series.push_back(Series(method, valueOf));
    for (const PlotPoint& point : series.back()) {
      xLow = std::min(xLow, point.x);
      xHigh = std::max(xHigh, point.x);
      yLow = std::min(yLow, point.y);
      yHigh = std::max(yHigh, point.y);
    }
  }
  const bool empty = !(xLow <= xHigh);
  if (empty) xLow = 0, xHigh = 1, yHigh = 1;
  if (xHigh <= xLow) xHigh = xLow + 1;
  if (yHigh <= yLow) yHigh = yLow + 1;
  const Chart chart(top, NiceAxis(xLow, xHigh, 1.0), NiceAxis(yLow, yHigh));

  std::string out = chart.Axes(title);
  if (empty) {
    out += "<text x=\"" + Num(kPlotLeft + kPlotWidth / 2) + "\" y=\"" + Num(top + kPlotHeight / 2) +
           "\" text-anchor=\"middle\" fill=\"#888\">no frames</text>\n";
  }
  for (size_t i = 0; i < series.size(); ++i) out += chart.Line(DecimateForPlot(series[i], kMaxPlotPointsPerLine), i);
  return out + "</g>\n";
}

std::string RenderLegend(const BenchRun& run, double top) {
  std::string out = "<g class=\"legend\">\n";
  for (size_t i = 0; i < run.methods.size(); ++i) {
    const double y = top + i * kLegendPitch;
    out += "<line x1=\"" + Num(kLegendLeft) + "\" y1=\"" + Num(y) + "\" x2=\"" + Num(kLegendLeft + 24) + "\" y2=\"" +
           Num(y) + "\" stroke-width=\"2.5\" " + StrokeAttributes(i) + "/>\n";
    out += "<text x=\"" + Num(kLegendLeft + 30) + "\" y=\"" + Num(y + 4) + "\">" + EscapeXml(run.methods[i].name) +
           "</text>\n";
  }
  return out + "</g>\n";
}

}  // namespace

std::string RenderSvgPlot(const BenchRun& run) {
  const double firstChartTop = kTitleHeight + 30;
  const double legendBottom = firstChartTop + run.methods.size() * kLegendPitch;
  const double height = std::max(firstChartTop + kChartPitch + kPlotHeight + 50, legendBottom + 20);
  const std::string subtitle = run.terrain + ", " + run.flight + ", " + std::to_string(run.width) + " x " +
                               std::to_string(run.height) + ", " + RenderingModeText(run.rasterizerDiscard);

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" + Num(height) +
         "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  out += "<title>Quorvane benchmark: " + EscapeXml(subtitle) + "</title>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<text x=\"" + Num(kPlotLeft) + "\" y=\"24\" font-size=\"16\" font-weight=\"bold\">" +
         "Quorvane benchmark</text>\n";
  out += "<text x=\"" + Num(kPlotLeft) + "\" y=\"44\">" + EscapeXml(subtitle) + "</text>\n";
  out += RenderChart(run, firstChartTop, "Frame time (ms)", [](const FrameSample& frame) { return frame.frameMs; });
  out += RenderChart(run, firstChartTop + kChartPitch, "Triangles per frame",
                     [](const FrameSample& frame) { return frame.triangles; });
  out += RenderLegend(run, firstChartTop + 6);
  return out + "</svg>\n";
}

bool WriteSvgPlot(const BenchRun& run, const std::string& path) {
  AtomicFileWriter writer(path);
  if (!writer.Open()) return false;
  writer.Write(RenderSvgPlot(run));
  return writer.Commit();
}
