// Writes the two-hour AVI and RealMedia files of the load benchmarks into a folder, and the AVI
// again with its chunks in place, for timing whole processes (bench/whole_process.sh).
#include <cstdio>
#include <exception>
#include <string>

#include "two_hour_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bench_files FOLDER\n");
    return 2;
  }
  try {
    const std::string folder = argv[1];
    mvbench::writeTwoHourAvi(folder + "/two-hours.avi");
    mvbench::writeTwoHourRm(folder + "/two-hours.rmvb");
    mvbench::writeTwoHourAviWithPayloads(folder + "/two-hours-payloads.avi");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
