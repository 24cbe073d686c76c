#pragma once
#include <string>
#include <vector>

// A chart axis on round numbers: the range widened outwards to multiples of a step of 1, 2 or 5
// times a power of ten, chosen so that about targetTicks steps cover the data.
struct AxisScale {
  double low;
  double high;
  double step;
  std::vector<double> Ticks() const;
};

// low < high is made so if needed; minimumStep keeps, say, frame numbers on whole numbers.
AxisScale NiceAxis(double low, double high, int targetTicks, double minimumStep = 0.0);

// A tick's label: as few decimals as the axis's step needs; on an axis reaching 10,000 or a
// million every label is in k or M alike. Zero is always "0".
std::string FormatTick(double value, const AxisScale& axis);
