#include "scene.h"

#include <algorithm>
#include <cmath>

namespace ZerinDemo {

namespace {

uint32_t rgba(double r, double g, double b) {
  const auto byte = [](double value) { return static_cast<uint32_t>(std::clamp(value, 0.0, 255.0) + 0.5); };
  return byte(r) | byte(g) << 8 | byte(b) << 16 | 0xFFu << 24;
}

float quantisedDepth(double depth) {
  return static_cast<float>(std::round(std::clamp(depth, 0.0, 1.0) * 4096.0) / 4096.0);
}

}  // namespace

ViewImage renderView(int64_t frame, int view, uint32_t size) {
  ViewImage image;
  image.size = size;
  image.colour.resize(size_t(size) * size);
  image.depth.resize(size_t(size) * size);
  const double s = size;
  const double horizon = 0.62 * s;
  // The ball swings left and right; the quarter frame keeps the frames on either side of a
  // turn apart. The views sit 3% apart.
  const double phase = (static_cast<double>(sceneFrame(frame)) + 0.25) / kSceneFrames * 2.0 * 3.14159265358979;
  const double ballX = s * (0.5 + 0.28 * std::sin(phase) + 0.03 * (view - 1.5));
  const double ballY = horizon - 0.05 * s;
  const double radius = 0.2 * s;
  const double tint = 24.0 * view;  // tells the views apart at a glance

  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      uint32_t colour;
      double depth;
      if (py < horizon) {  // backdrop: a sky that darkens upwards
        const double t = py / horizon;
        colour = rgba(40 + 60 * t, 70 + 90 * t, 150 + 80 * t - tint);
        depth = 0.98;
      } else {  // floor: checks in perspective, nearer further down
        const double t = (py - horizon) / (s - horizon);
        const double distance = 1.0 / (t + 0.08);
        const double across = (px / s - 0.5) * distance * 4.0;
        const bool light = (static_cast<int64_t>(std::floor(across)) + static_cast<int64_t>(std::floor(distance * 2.0))) & 1;
        const double shade = (light ? 210 : 110) * (0.55 + 0.45 * t);
        colour = rgba(shade + tint, shade, shade * 0.6);
        depth = 0.9 - 0.5 * t;
      }
      const double dx = (px - ballX) / radius, dy = (py - ballY) / radius;
      const double r2 = dx * dx + dy * dy;
      if (r2 < 1.0) {  // the ball, lit from the upper left
        const double dz = std::sqrt(1.0 - r2);
        const double light = std::max(0.0, (-0.5 * dx - 0.6 * dy + 0.62 * dz));
        const double shade = 0.25 + 0.75 * light;
        colour = rgba(230 * shade, (90 + tint) * shade, 60 * shade);
        depth = 0.55 - 0.3 * dz;
      }
      image.colour[size_t(y) * size + x] = colour;
      image.depth[size_t(y) * size + x] = quantisedDepth(depth);
    }
  }
  return image;
}

}  // namespace ZerinDemo
