#pragma once
// The render thread's time per frame over a run, as an SVG picture.
#include <string>
#include <vector>

namespace ZerinDemo {

struct PlotPanel {
  std::string title;           // what the values are, e.g. "the plug-in's own code"
  std::vector<double> values;  // microseconds per frame, in frame order; NaN where none was measured
};

// One panel under another, frames along x and microseconds up y, each with its median and 99th
// percentile drawn across as dashed lines and labelled with their values. The scale ends near
// three times the 99th percentile; frames above it are drawn at its top edge and counted in the
// panel's title. Long runs are drawn as the range of each pixel column's frames.
std::string timePlotSvg(const std::string& title, const std::vector<PlotPanel>& panels);

}  // namespace ZerinDemo
