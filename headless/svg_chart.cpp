#include "headless/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "headless/bench_report.h"
#include "app/platform/text_format.h"

namespace {

constexpr int kTargetTicks = 6;
constexpr int kMostTicks = 100;
constexpr int kMostLogDecades = 4;  // beyond it, ticks at the powers of ten alone

const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
constexpr size_t kColourCount = sizeof kColours / sizeof kColours[0];
const char* const kDashes[] = {"", "6,3", "2,2", "8,3,2,3"};
constexpr size_t kDashCount = sizeof kDashes / sizeof kDashes[0];

double NiceStep(double rough) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  const double residual = rough / magnitude;
  if (residual <= 1.0) return magnitude;
  if (residual <= 2.0) return 2.0 * magnitude;
  if (residual <= 5.0) return 5.0 * magnitude;
  return 10.0 * magnitude;
}

int DecimalsFor(double step) {
  if (!(step > 0) || step >= 1.0) return 0;
  return static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

}  // namespace

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

std::string SvgNumber(double value) { return FormatFixed(value, 1); }

const char* SeriesColour(size_t series) { return kColours[series % kColourCount]; }

std::string StrokeAttributes(size_t series) {
  std::string text = "stroke=\"" + std::string(SeriesColour(series)) + "\"";
  const char* dash = kDashes[(series / kColourCount) % kDashCount];
  if (*dash != '\0') text += " stroke-dasharray=\"" + std::string(dash) + "\"";
  return text;
}

std::vector<double> AxisScale::Ticks() const {
  std::vector<double> ticks;
  if (!std::isfinite(low) || !std::isfinite(high)) return ticks;
  if (logarithmic) {
    const int first = static_cast<int>(std::lround(std::log10(low)));
    const int last = static_cast<int>(std::lround(std::log10(high)));
    const bool powersOnly = last - first > kMostLogDecades;
    for (int decade = first; decade <= last; ++decade) {
      const double power = std::pow(10.0, decade);
      for (const double mantissa : {1.0, 2.0, 5.0}) {
        if (powersOnly && mantissa != 1.0) continue;
        if (mantissa * power <= high * (1 + 1e-9)) ticks.push_back(mantissa * power);
      }
    }
    return ticks;
  }
  if (!(step > 0)) return ticks;
  for (int i = 0; i <= kMostTicks; ++i) {
    const double value = low + i * step;
    if (value > high + step * 1e-6) break;
    ticks.push_back(value);
  }
  return ticks;
}

double AxisScale::Fraction(double value) const {
  if (logarithmic) return (std::log10(value) - std::log10(low)) / (std::log10(high) - std::log10(low));
  return (value - low) / (high - low);
}

std::string AxisScale::Label(double value) const {
  if (logarithmic) return FormatFixed(value, DecimalsFor(value));
  if (std::fabs(value) < step * 1e-6) return "0";
  const double magnitude = std::fmax(std::fabs(low), std::fabs(high));
  if (magnitude >= 1e6) return FormatFixed(value / 1e6, DecimalsFor(step / 1e6)) + "M";
  if (magnitude >= 1e4) return FormatFixed(value / 1e3, DecimalsFor(step / 1e3)) + "k";
  return FormatFixed(value, DecimalsFor(step));
}

AxisScale NiceAxis(double low, double high, double minimumStep) {
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

AxisScale LogAxis(double low, double high) {
  if (!(low > 0.0) || !(high > 0.0) || !std::isfinite(low) || !std::isfinite(high)) low = 1.0, high = 10.0;
  if (high < low) std::swap(low, high);
  AxisScale axis{std::pow(10.0, std::floor(std::log10(low))), std::pow(10.0, std::ceil(std::log10(high))), 0.0, true};
  if (axis.high <= axis.low) axis.high = axis.low * 10.0;
  return axis;
}

std::string Chart::Axes(const std::string& title, const std::string& xName) const {
  const double bottom = top_ + kPlotHeight;
  std::string out = "<g class=\"chart\">\n";
  out += "<text x=\"" + SvgNumber(kPlotLeft) + "\" y=\"" + SvgNumber(top_ - 12) +
         "\" font-size=\"15\" font-weight=\"bold\">" + EscapeXml(title) + "</text>\n";
  for (const double tick : y_.Ticks()) {
    out += "<line x1=\"" + SvgNumber(kPlotLeft) + "\" y1=\"" + SvgNumber(Y(tick)) + "\" x2=\"" +
           SvgNumber(kPlotLeft + kPlotWidth) + "\" y2=\"" + SvgNumber(Y(tick)) + "\" stroke=\"#e4e4e4\"/>\n";
    out += "<text x=\"" + SvgNumber(kPlotLeft - 6) + "\" y=\"" + SvgNumber(Y(tick) + 4) + "\" text-anchor=\"end\">" +
           y_.Label(tick) + "</text>\n";
  }
  for (const double tick : x_.Ticks()) {
    out += "<line x1=\"" + SvgNumber(X(tick)) + "\" y1=\"" + SvgNumber(bottom) + "\" x2=\"" + SvgNumber(X(tick)) +
           "\" y2=\"" + SvgNumber(bottom + 5) + "\" stroke=\"#444\"/>\n";
    out += "<text x=\"" + SvgNumber(X(tick)) + "\" y=\"" + SvgNumber(bottom + 18) + "\" text-anchor=\"middle\">" +
           x_.Label(tick) + "</text>\n";
  }
  out += "<rect x=\"" + SvgNumber(kPlotLeft) + "\" y=\"" + SvgNumber(top_) + "\" width=\"" + SvgNumber(kPlotWidth) +
         "\" height=\"" + SvgNumber(kPlotHeight) + "\" fill=\"none\" stroke=\"#444\"/>\n";
  out += "<text x=\"" + SvgNumber(kPlotLeft + kPlotWidth / 2) + "\" y=\"" + SvgNumber(bottom + 36) +
         "\" text-anchor=\"middle\">" + EscapeXml(xName) + "</text>\n";
  return out;
}

std::string Chart::Line(const std::vector<PlotPoint>& points, size_t series) const {
  std::string out = "<polyline fill=\"none\" stroke-width=\"1.3\" " + StrokeAttributes(series) + " points=\"";
  for (size_t i = 0; i < points.size(); ++i) {
    if (i > 0) out += ' ';
    out += SvgNumber(X(points[i].x)) + "," + SvgNumber(Y(points[i].y));
  }
  out += "\"/>\n";
  // A single point draws no line: mark it.
  if (points.size() == 1) out += Marker(points[0], series);
  return out;
}

std::string Chart::Marker(const PlotPoint& point, size_t series) const {
  return "<circle cx=\"" + SvgNumber(X(point.x)) + "\" cy=\"" + SvgNumber(Y(point.y)) + "\" r=\"3\" fill=\"" +
         SeriesColour(series) + "\"/>\n";
}

std::string SvgDocumentStart(double height, const std::string& heading, const std::string& subtitle) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + SvgNumber(kSvgWidth) + "\" height=\"" +
         SvgNumber(height) + "\" viewBox=\"0 0 " + SvgNumber(kSvgWidth) + " " + SvgNumber(height) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  out += "<title>" + EscapeXml(heading + ": " + subtitle) + "</title>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<text x=\"" + SvgNumber(kPlotLeft) + "\" y=\"24\" font-size=\"16\" font-weight=\"bold\">" +
         EscapeXml(heading) + "</text>\n";
  out += "<text x=\"" + SvgNumber(kPlotLeft) + "\" y=\"44\">" + EscapeXml(subtitle) + "</text>\n";
  return out;
}

std::string SvgLegend(const std::vector<std::string>& names, double top) {
  std::string out = "<g class=\"legend\">\n";
  for (size_t i = 0; i < names.size(); ++i) {
    const double y = top + i * kLegendPitch;
    out += "<line x1=\"" + SvgNumber(kLegendLeft) + "\" y1=\"" + SvgNumber(y) + "\" x2=\"" +
           SvgNumber(kLegendLeft + 24) + "\" y2=\"" + SvgNumber(y) + "\" stroke-width=\"2.5\" " + StrokeAttributes(i) +
           "/>\n";
    out += "<text x=\"" + SvgNumber(kLegendLeft + 30) + "\" y=\"" + SvgNumber(y + 4) + "\">" + EscapeXml(names[i]) +
           "</text>\n";
  }
  return out + "</g>\n";
}

std::string RunSubtitle(const BenchRun& run) {
  return run.terrain + ", " + run.flight + ", " + std::to_string(run.width) + " x " + std::to_string(run.height) +
         ", " + RenderingModeText(run.rasterizerDiscard);
}
