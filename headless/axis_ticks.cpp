#include "headless/axis_ticks.h"

#include <cmath>
#include <utility>

#include "headless/number_format.h"

namespace {

constexpr int kMostTicks = 100;

double NiceStep(double rough) {
  double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  double residual = rough / magnitude;
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

std::vector<double> AxisScale::Ticks() const {
  std::vector<double> ticks;
  if (!(step > 0) || !std::isfinite(low) || !std::isfinite(high)) return ticks;
  for (int i = 0; i <= kMostTicks; ++i) {
    double value = low + i * step;
    if (value > high + step * 1e-6) break;
    ticks.push_back(value);
  }
  return ticks;
}

AxisScale NiceAxis(double low, double high, int targetTicks, double minimumStep) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0.0, high = 1.0;
  if (high < low) std::swap(low, high);
  if (high == low) {
    double widen = low == 0.0 ? 1.0 : std::fabs(low) * 0.5;
    low -= widen;
    high += widen;
  }
  if (targetTicks < 1) targetTicks = 1;
  double step = NiceStep((high - low) / targetTicks);
  if (step < minimumStep) step = minimumStep;
  AxisScale axis{std::floor(low / step) * step, std::ceil(high / step) * step, step};
  // A range too wide for the budget of ticks (huge values against a tiny minimum step).
  while ((axis.high - axis.low) / axis.step > kMostTicks) axis.step *= 10.0;
  axis.low = std::floor(low / axis.step) * axis.step;
  axis.high = std::ceil(high / axis.step) * axis.step;
  return axis;
}

std::string FormatTick(double value, const AxisScale& axis) {
  const double step = axis.step;
  if (std::fabs(value) < step * 1e-6) return "0";
  double magnitude = std::fmax(std::fabs(axis.low), std::fabs(axis.high));
  if (magnitude >= 1e6) return FormatFixed(value / 1e6, DecimalsFor(step / 1e6)) + "M";
  if (magnitude >= 1e4) return FormatFixed(value / 1e3, DecimalsFor(step / 1e3)) + "k";
  return FormatFixed(value, DecimalsFor(step));
}
