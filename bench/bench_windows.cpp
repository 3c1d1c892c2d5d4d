// The measures of bench_render and bench_ipc on Windows (under Wine: the real Direct3D 11 device
// on the system's renderer, named pipes), timed by this program itself and closed by the same
// ratio table. Frames do real copies and real depth passes; their floor issues the same device
// and runtime calls directly.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "frame_bench.h"
#include "ipc_bench.h"
#include "ratio_table.h"

namespace {

using ZerinBench::Clock;
using ZerinBench::FrameShape;
using ZerinBench::Goal;
using ZerinBench::Row;
using ZerinBench::Samples;

constexpr int kBatch = 8;
constexpr int kCountedFrames = 32;
constexpr auto kBudget = std::chrono::milliseconds(1500);
constexpr uint32_t kImageSize = 256;

const FrameShape kShapes[] = {{1, false, kImageSize}, {1, true, kImageSize}, {2, false, kImageSize},
                              {2, true, kImageSize},  {4, false, kImageSize}, {4, true, kImageSize}};

// Runs `round` until the budget is spent (at least three times).
template <class Round>
void repeatFor(Round round) {
  const Clock::time_point start = Clock::now();
  for (int done = 0; done < 3 || Clock::now() - start < kBudget; ++done) round();
}

Row row(const std::string& name, double figure, double floor, const std::string& unit, Goal goal) {
  Row made;
  made.name = name;
  made.figure = figure;
  made.floor = floor;
  made.unit = unit;
  made.goal = goal;
  return made;
}

Row failed(const std::string& name, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", name.c_str(), why.c_str());
  Row made;
  made.name = name;
  made.measured = false;
  return made;
}

bool watch(ZerinBench::FrameBench& bench, std::string& error) {
  const auto inPlugin = reinterpret_cast<const void*>(bench.host().exports().QueueSubmission);
  return ZerinTest::watchAllocations(inPlugin, error);
}

void measureFrames(std::vector<Row>& times, std::vector<Row>& allocations) {
  Goal ratio;
  ratio.maxRatio = 1.1;
  Goal none;
  none.zero = true;
  for (const FrameShape& shape : kShapes) {
    const std::string name = "render frame " + ZerinBench::describe(shape);
    const std::string allocationName = "allocations/steady frame " + ZerinBench::describe(shape);
    ZerinBench::FrameBench bench(shape);
    std::string error;
    if (!bench.open() || !watch(bench, error)) {
      times.push_back(failed(name, bench.error() + error));
      allocations.push_back(failed(allocationName, bench.error() + error));
      continue;
    }
    Samples plugin;
    Samples floor;
    repeatFor([&] { ZerinBench::timeFrames(bench, kBatch, plugin, floor); });
    times.push_back(row(name, plugin.median() / 1e3, floor.median() / 1e3, "us", ratio));
    const auto counted = ZerinBench::countFrameAllocations(bench, kCountedFrames, 1);
    allocations.push_back(row(allocationName, static_cast<double>(counted.render) / kCountedFrames, 0, "allocs", none));
  }
}

void measureQueue(std::vector<Row>& rows) {
  const std::string name = "QueueSubmission 4 layers vs memcpy 6440 B";
  const std::string allocationName = "allocations/QueueSubmission (4 layers)";
  ZerinBench::FrameBench bench(FrameShape{4, false, kImageSize});
  std::string error;
  if (!bench.open() || !watch(bench, error)) {
    rows.push_back(failed(allocationName, bench.error() + error));
    rows.push_back(failed(name, bench.error() + error));
    return;
  }
  ZerinBench::QueueBench queueBench(bench);
  Samples queue;
  Samples copy;
  repeatFor([&] { queueBench.time(16, queue, copy); });
  Goal none;
  none.zero = true;
  rows.push_back(row(allocationName, static_cast<double>(queueBench.countAllocations(kCountedFrames)) / kCountedFrames,
                     0, "allocs", none));
  Goal twice;
  twice.maxRatio = 2;
  rows.push_back(row(name, queue.median(), copy.median(), "ns", twice));
}

void measureIpc(std::vector<Row>& rows) {
  constexpr size_t kSmall = 8;
  constexpr size_t kLarge = size_t{1} << 20;
  ZerinBench::IpcBench bench;
  if (!bench.open()) {
    rows.push_back(failed("IPC", bench.error()));
    return;
  }
  Samples message, bare;
  repeatFor([&] {
    message.add(bench.messageLatency(kSmall));
    bare.add(bench.bareRoundTrip(kSmall));
  });
  Goal latency;
  latency.maxRatio = 2;
  rows.push_back(row("IPC latency 36 B vs bare round trip", message.median() / 1e3, bare.median() / 1e3, "us", latency));

  Goal rate;
  rate.minRatio = 0.5;
  Samples smallMessage, smallBare;
  repeatFor([&] {
    smallMessage.add(bench.messageRate(kSmall, 5000));
    smallBare.add(bench.bareRate(kSmall, 5000));
  });
  rows.push_back(row("IPC rate 36 B frames", smallMessage.median(), smallBare.median(), "msg/s", rate));

  Samples largeMessage, largeBare, largeCopied;
  const double mebibytes = static_cast<double>(kLarge + 28) / 1048576.0;
  repeatFor([&] {
    largeMessage.add(bench.messageRate(kLarge, 8) * mebibytes);
    largeBare.add(bench.bareRate(kLarge, 8) * mebibytes);
    largeCopied.add(bench.bareRate(kLarge, 8, true) * mebibytes);
  });
  rows.push_back(row("IPC rate 1 MiB frames", largeMessage.median(), largeBare.median(), "MiB/s", rate));
  rows.push_back(row("  bare pipe + 2 payload copies, 1 MiB", largeMessage.median(), largeCopied.median(), "MiB/s", Goal{}));
}

}  // namespace

int main() {
  std::vector<Row> times, allocations, rest;
  measureFrames(times, allocations);
  measureQueue(rest);
  measureIpc(rest);
  std::vector<Row> table = times;
  table.insert(table.end(), allocations.begin(), allocations.end());
  table.insert(table.end(), rest.begin(), rest.end());
  ZerinBench::printTable(std::cout, "Windows (Direct3D 11 device, named pipes): plug-in against its floor", table);
  // A goal missed is a finding of the table; a measure that could not be made fails the run.
  for (const Row& each : table)
    if (!each.measured) return 1;
  return 0;
}
