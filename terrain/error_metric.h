#pragma once

// View-independent error of every grid vertex that splits a bintree triangle's hypotenuse.
struct ErrorMetric {
  float* values;  // (N+1)^2, index x + y * (N+1); owned
  float weight;
  int N;

  float At(int x, int y) const { return values[x + y * (N + 1)]; }
};

extern ErrorMetric* CurrentErrorMetric;

// Rebuilds the metric for the current height field; also discards the current aggregation
// builder, whose error grid was computed from the old values.
void ComputeErrorMetric(float weight);

// Frees the current metric, if any.
void DestroyErrorMetric();
