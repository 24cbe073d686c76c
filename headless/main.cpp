#include "headless/bench_program.h"

int main(int argc, char** argv) { return RunQuorvaneBench(argc, argv); }
