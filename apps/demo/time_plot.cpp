#include "time_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "statistics.h"

namespace ZerinDemo {

namespace {

constexpr double kWidth = 960, kPanelHeight = 250, kLeft = 70, kRight = 190, kTop = 50, kBottom = 40;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kPanelHeight - kTop - kBottom;
constexpr size_t kMaxPoints = 1500;

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string number(double value, int decimals = 1) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A round number (1, 1.2, 1.5, 2 ... 8 times a power of ten), at least `value`.
double niceCeiling(double value) {
  if (!(value > 0)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(value)));
  for (double step : {1.0, 1.2, 1.6, 2.0, 2.4, 3.2, 4.0, 6.0, 8.0, 10.0})
    if (step * power >= value * (1 - 1e-9)) return step * power;
  return 10 * power;
}

void appendPanel(std::string& svg, const PlotPanel& panel, double top) {
  const Percentiles stats = percentiles(panel.values);
  const size_t measured = std::count_if(panel.values.begin(), panel.values.end(), [](double v) { return std::isfinite(v); });
  const double scaleTop = niceCeiling(std::max(std::min(stats.max, 3 * stats.p99), 1.0));
  const size_t above = std::count_if(panel.values.begin(), panel.values.end(), [&](double v) { return v > scaleTop; });

  const double left = kLeft, plotTop = top + kTop, bottom = plotTop + kPlotHeight;
  const size_t frames = std::max<size_t>(panel.values.size(), 1);
  const auto xOf = [&](double frame) { return left + kPlotWidth * frame / std::max<double>(frames - 1, 1); };
  const auto yOf = [&](double micros) { return bottom - kPlotHeight * std::min(micros, scaleTop) / scaleTop; };

  std::string title = panel.title;
  if (measured == 0) title += " (not measured)";
  if (above > 0)
    title += " (" + std::to_string(above) + " frame" + (above == 1 ? "" : "s") + " above the scale, up to " +
             number(stats.max, 0) + " us)";
  svg += "<text x=\"" + number(left) + "\" y=\"" + number(top + 30) + "\" class=\"panel\">" + escaped(title) + "</text>\n";

  // Axes, ticks and the frame numbers.
  svg += "<rect x=\"" + number(left) + "\" y=\"" + number(plotTop) + "\" width=\"" + number(kPlotWidth) +
         "\" height=\"" + number(kPlotHeight) + "\" class=\"frame\"/>\n";
  for (int tick = 0; tick <= 4; ++tick) {
    const double micros = scaleTop * tick / 4;
    const double y = yOf(micros);
    svg += "<line x1=\"" + number(left) + "\" y1=\"" + number(y) + "\" x2=\"" + number(left + kPlotWidth) + "\" y2=\"" +
           number(y) + "\" class=\"grid\"/>\n";
    svg += "<text x=\"" + number(left - 6) + "\" y=\"" + number(y + 4) + "\" class=\"tick\" text-anchor=\"end\">" +
           number(micros, micros < 10 ? 1 : 0) + "</text>\n";
  }
  for (int tick = 0; tick <= 4; ++tick) {
    const double frame = (frames - 1) * tick / 4.0;
    svg += "<text x=\"" + number(xOf(frame)) + "\" y=\"" + number(bottom + 16) +
           "\" class=\"tick\" text-anchor=\"middle\">" + std::to_string(static_cast<long long>(std::llround(frame)) + 1) +
           "</text>\n";
  }
  svg += "<text x=\"" + number(left + kPlotWidth / 2) + "\" y=\"" + number(bottom + 32) +
         "\" class=\"tick\" text-anchor=\"middle\">frame</text>\n";
  svg += "<text x=\"" + number(left - 52) + "\" y=\"" + number(plotTop + kPlotHeight / 2) + "\" class=\"tick\" " +
         "text-anchor=\"middle\" transform=\"rotate(-90 " + number(left - 52) + " " +
         number(plotTop + kPlotHeight / 2) + ")\">microseconds</text>\n";

  // The values: a line through every frame, or each pixel column's range for long runs.
  std::string path;
  if (panel.values.size() <= kMaxPoints) {
    bool drawing = false;
    for (size_t frame = 0; frame < panel.values.size(); ++frame) {
      const double value = panel.values[frame];
      if (!std::isfinite(value)) {
        drawing = false;
        continue;
      }
      path += (drawing ? " L" : " M") + number(xOf(double(frame))) + " " + number(yOf(value));
      drawing = true;
    }
  } else {
    const size_t columns = static_cast<size_t>(kPlotWidth);
    for (size_t column = 0; column < columns; ++column) {
      const size_t first = panel.values.size() * column / columns, last = panel.values.size() * (column + 1) / columns;
      double low = INFINITY, high = -INFINITY;
      for (size_t frame = first; frame < last; ++frame) {
        if (!std::isfinite(panel.values[frame])) continue;
        low = std::min(low, panel.values[frame]);
        high = std::max(high, panel.values[frame]);
      }
      if (high < low) continue;
      const double x = left + column + 0.5;
      path += " M" + number(x) + " " + number(yOf(low) + 0.5) + " V" + number(yOf(high) - 0.5);
    }
  }
  if (!path.empty()) svg += "<path d=\"" + path.substr(1) + "\" class=\"values\"/>\n";

  // The median and the 99th percentile.
  if (measured > 0) {
    const struct {
      const char* name;
      double value;
      const char* style;
    } marks[] = {{"median", stats.median, "median"}, {"99th percentile", stats.p99, "p99"}};
    double lastLabel = -100;
    for (const auto& mark : marks) {
      const double y = yOf(mark.value);
      double labelY = y + 4;
      if (std::abs(labelY - lastLabel) < 14) labelY = lastLabel - 14;  // keep close labels apart
      lastLabel = labelY;
      svg += "<line x1=\"" + number(left) + "\" y1=\"" + number(y) + "\" x2=\"" + number(left + kPlotWidth) +
             "\" y2=\"" + number(y) + "\" class=\"" + mark.style + "\"/>\n";
      svg += "<text x=\"" + number(left + kPlotWidth + 8) + "\" y=\"" + number(labelY) + "\" class=\"" + mark.style +
             "-label\">" + mark.name + " " + number(mark.value, mark.value < 10 ? 1 : 0) + " us</text>\n";
    }
  }
}

}  // namespace

std::string timePlotSvg(const std::string& title, const std::vector<PlotPanel>& panels) {
  const double height = 40 + kPanelHeight * static_cast<double>(panels.size());
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth, 0) + "\" height=\"" + number(height, 0) +
         "\" viewBox=\"0 0 " + number(kWidth, 0) + " " + number(height, 0) + "\">\n";
  svg +=
      "<style>\n"
      "  text { font-family: sans-serif; fill: #222; }\n"
      "  .title { font-size: 17px; font-weight: bold; }\n"
      "  .panel { font-size: 14px; }\n"
      "  .tick { font-size: 11px; fill: #555; }\n"
      "  .frame { fill: #fff; stroke: #888; }\n"
      "  .grid { stroke: #e4e4e4; }\n"
      "  .values { fill: none; stroke: #2a6fb0; stroke-width: 1.2; }\n"
      "  .median { stroke: #1a8a3a; stroke-width: 1.5; stroke-dasharray: 6 4; }\n"
      "  .p99 { stroke: #c0392b; stroke-width: 1.5; stroke-dasharray: 2 3; }\n"
      "  .median-label { font-size: 12px; fill: #1a8a3a; }\n"
      "  .p99-label { font-size: 12px; fill: #c0392b; }\n"
      "</style>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fafafa\"/>\n";
  svg += "<text x=\"" + number(kLeft) + "\" y=\"28\" class=\"title\">" + escaped(title) + "</text>\n";
  for (size_t index = 0; index < panels.size(); ++index) appendPanel(svg, panels[index], 30 + kPanelHeight * double(index));
  svg += "</svg>\n";
  return svg;
}

}  // namespace ZerinDemo
