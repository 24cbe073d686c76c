#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/platform/failure.h"

#include "headless/bench_method_list.h"
#include "headless/bench_results.h"
#include "headless/bench_scene.h"
#include "headless/flight_pose.h"

// What one benchmark run flies and draws over a prepared scene.
struct BenchPlan {
  FlightPath flight;
  std::vector<BenchMethod> methods;
  int width = 640;
  int height = 480;
  int qualityEvery = 0;  // 0: no quality samples
  int threshold = 8;
  bool rasterizerDiscard = false;
};

// Called after every frame: the method's name, frames done and total over the whole run.
using BenchProgressFunction = std::function<void(const std::string& label, int done, int total)>;

// Called after a sampled frame, outside its time, to read its picture back.
using SampleFunction = std::function<void(int frame)>;

// Flies one method over the flight: activation (CABTT with its level and builder), the first
// pose refined and drawn once untimed, then every pose timed as one frame: refinement for camera
// 0's eye, the frame drawn as the window draws it, glFinish. After frames that are multiples of
// sampleEvery (0: none) sample runs; its time is left out of the method's wall time. Ends with
// the method deactivated. done counts frames for progress across methods. A method's failure
// comes back.
Result<MethodResult> FlyMethod(BenchScene& scene, const BenchMethod& method, const BenchPlan& plan, int sampleEvery,
                               const SampleFunction& sample, const BenchProgressFunction& progress, int* done,
                               int total);

// The whole run: with quality on (and rasterizing), the brute-force reference first (kept in
// the results only when listed), then every listed method in order, each compared with the
// reference at the sampled frames.
Result<BenchRun> RunBench(BenchScene& scene, const BenchPlan& plan, const BenchProgressFunction& progress);

// Empty when every CABTT level of the list can be drawn on a grid of exponent n, else the
// one-line reason.
std::string CheckMethodsFitTerrain(const std::vector<BenchMethod>& methods, int n);
