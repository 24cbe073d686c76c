#include "headless/bench_method_list.h"

#include <sstream>

#include "terrain/height_field.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

bool ParseLevel(const std::string& text, int* level) {
  if (text.empty() || text.size() > 2) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > kMaxGridExponent) return false;
  *level = value;
  return true;
}

bool ParseCabtt(const std::vector<std::string>& fields, BenchMethod* method, std::string* error) {
  method->kind = BenchMethod::Kind::kCabtt;
  method->level = kDefaultBenchCabttLevel;
  method->adaptive = true;
  if (fields.size() > 3) {
    *error = "too many fields in a CABTT method (cabtt[:LEVEL[:adaptive|uniform]])";
    return false;
  }
  if (fields.size() >= 2 && !ParseLevel(fields[1], &method->level)) {
    *error = "bad CABTT level '" + fields[1] + "' (0.." + std::to_string(kMaxGridExponent) + ")";
    return false;
  }
  if (fields.size() == 3) {
    if (fields[2] == "adaptive") {
      method->adaptive = true;
    } else if (fields[2] == "uniform") {
      method->adaptive = false;
    } else {
      *error = "bad CABTT builder '" + fields[2] + "' (adaptive or uniform)";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string BenchMethodName(const BenchMethod& method) {
  switch (method.kind) {
    case BenchMethod::Kind::kRoam:
      return "ROAM";
    case BenchMethod::Kind::kCabtt:
      return "CABTT L" + std::to_string(method.level) + (method.adaptive ? " adaptive" : " uniform");
    case BenchMethod::Kind::kBruteForce:
      return "Brute force";
  }
  return "";
}

bool ParseBenchMethodList(const std::string& text, std::vector<BenchMethod>* methods, std::string* error) {
  methods->clear();
  for (const std::string& item : Split(text, ',')) {
    const std::vector<std::string> fields = Split(item, ':');
    BenchMethod method;
    if (item == "roam") {
      method.kind = BenchMethod::Kind::kRoam;
    } else if (item == "brute") {
      method.kind = BenchMethod::Kind::kBruteForce;
    } else if (!fields.empty() && fields[0] == "cabtt") {
      if (!ParseCabtt(fields, &method, error)) return false;
    } else {
      *error = "unknown method '" + item + "' (roam, cabtt[:LEVEL[:adaptive|uniform]], brute)";
      return false;
    }
    for (const BenchMethod& earlier : *methods) {
      if (earlier == method) {
        *error = "method '" + BenchMethodName(method) + "' listed twice";
        return false;
      }
    }
    methods->push_back(method);
  }
  if (methods->empty()) {
    *error = "empty method list";
    return false;
  }
  return true;
}

std::vector<BenchMethod> DefaultBenchMethods() {
  std::vector<BenchMethod> methods = {{BenchMethod::Kind::kRoam, 0, true}};
  for (const int level : {3, 4, 5})
    for (const bool adaptive : {true, false}) methods.push_back({BenchMethod::Kind::kCabtt, level, adaptive});
  methods.push_back({BenchMethod::Kind::kBruteForce, 0, true});
  return methods;
}
