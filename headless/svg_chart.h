#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "headless/bench_results.h"

// The pieces the benchmark's SVG pictures share: one page style (a title, a subtitle, charts of
// 620 x 240 with a frame and grid lines, a legend on the right, one colour and dash pattern per
// series), axes on round numbers, linear or logarithmic, and text escaped for XML. Numbers have
// a decimal point whatever the locale.

struct PlotOptions {
  bool logTime = false;  // time axes logarithmic
};

// Page layout.
inline constexpr double kSvgWidth = 980;
inline constexpr double kPlotLeft = 80;
inline constexpr double kPlotWidth = 620;
inline constexpr double kPlotHeight = 240;
inline constexpr double kTitleHeight = 50;
inline constexpr double kLegendLeft = kPlotLeft + kPlotWidth + 30;
inline constexpr double kLegendPitch = 18;

struct PlotPoint {
  double x;
  double y;
};

// Text safe inside XML character data and quoted attribute values: & < > " ' become entities;
// control characters XML 1.0 cannot carry at all become '?'.
std::string EscapeXml(const std::string& text);

// A coordinate with one decimal.
std::string SvgNumber(double value);

// The colour of series i, and its stroke attributes (past the palette, colours repeat with a
// dash pattern).
const char* SeriesColour(size_t series);
std::string StrokeAttributes(size_t series);

// A chart axis on round numbers.
// Linear: the range widened outwards to multiples of the step, a step of 1, 2 or 5 times a power
// of ten giving about six ticks. Logarithmic: the range widened outwards to powers of ten, ticks
// at 1, 2 and 5 times each power of ten (powers alone when the range spans more than four).
struct AxisScale {
  double low;
  double high;
  double step;  // linear only
  bool logarithmic = false;

  std::vector<double> Ticks() const;
  // Where the value lies between low (0) and high (1).
  double Fraction(double value) const;
  // As few decimals as the axis needs; zero is "0"; labels in k or M on linear axes reaching
  // 10,000 or a million.
  std::string Label(double value) const;
};

// minimumStep keeps frame numbers on whole numbers. Non-finite ends give 0..1.
AxisScale NiceAxis(double low, double high, double minimumStep = 0.0);
// low and high positive (anything else gives 1..10).
AxisScale LogAxis(double low, double high);

class Chart {
 public:
  Chart(double top, const AxisScale& x, const AxisScale& y) : top_(top), x_(x), y_(y) {}
  double X(double value) const { return kPlotLeft + x_.Fraction(value) * kPlotWidth; }
  double Y(double value) const { return top_ + kPlotHeight - y_.Fraction(value) * kPlotHeight; }

  // Opens the chart's group: the title, grid lines and tick labels, the frame, the x axis's name.
  std::string Axes(const std::string& title, const std::string& xName) const;
  // A polyline through the points (a lone point also marked with a circle).
  std::string Line(const std::vector<PlotPoint>& points, size_t series) const;
  // A filled circle at the point.
  std::string Marker(const PlotPoint& point, size_t series) const;

 private:
  double top_;
  AxisScale x_, y_;
};

// The document's start: the XML declaration, the svg element of the given height, a title
// element, a white background, the heading and the subtitle.
std::string SvgDocumentStart(double height, const std::string& heading, const std::string& subtitle);

// The legend: one short line and name per series, from top down.
std::string SvgLegend(const std::vector<std::string>& names, double top);

// "terrain, flight, W x H, mode" for a subtitle.
std::string RunSubtitle(const BenchRun& run);
