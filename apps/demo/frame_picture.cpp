#include "frame_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include <stb_image_write.h>

namespace ZerinDemo {

namespace {

constexpr uint8_t kGapGrey = 48;

void appendBytes(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(context);
  const auto* begin = static_cast<const uint8_t*>(data);
  bytes->insert(bytes->end(), begin, begin + size);
}

}  // namespace

uint8_t depthGrey(float depth, double minDepth, double maxDepth) {
  if (!(maxDepth > minDepth)) return 0;
  const double nearness = (maxDepth - std::clamp<double>(depth, minDepth, maxDepth)) / (maxDepth - minDepth);
  return static_cast<uint8_t>(std::lround(nearness * 255.0));
}

Picture composeFrame(const std::vector<ReceivedView>& views, int layers, int viewsPerLayer) {
  Picture picture;
  if (views.empty() || layers < 1 || viewsPerLayer < 1 || views.size() != size_t(layers) * viewsPerLayer)
    return picture;
  const uint32_t tileWidth = views[0].width, tileHeight = views[0].height;
  const uint32_t half = viewsPerLayer * (tileWidth + kGap);
  picture.width = kGap + half + kGap + half;
  picture.height = kGap + layers * (tileHeight + kGap);
  picture.rgb.assign(size_t(picture.width) * picture.height * 3, kGapGrey);

  const auto put = [&](uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* pixel = &picture.rgb[(size_t(y) * picture.width + x) * 3];
    pixel[0] = r, pixel[1] = g, pixel[2] = b;
  };
  for (int layer = 0; layer < layers; ++layer) {
    for (int v = 0; v < viewsPerLayer; ++v) {
      const ReceivedView& view = views[size_t(layer) * viewsPerLayer + v];
      const uint32_t top = kGap + layer * (tileHeight + kGap);
      const uint32_t colourLeft = kGap + v * (tileWidth + kGap);
      const uint32_t depthLeft = colourLeft + half + kGap;
      for (uint32_t y = 0; y < std::min(tileHeight, view.height); ++y) {
        for (uint32_t x = 0; x < std::min(tileWidth, view.width); ++x) {
          const size_t index = size_t(y) * view.width + x;
          if (index < view.colour.size()) {
            const uint32_t c = view.colour[index];
            put(colourLeft + x, top + y, c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
          }
          if (index < view.depth.size()) {
            const uint8_t grey = depthGrey(view.depth[index], view.minDepth, view.maxDepth);
            put(depthLeft + x, top + y, grey, grey, grey);
          }
        }
      }
    }
  }
  return picture;
}

std::vector<uint8_t> encodePng(const Picture& picture) {
  std::vector<uint8_t> bytes;
  if (picture.width == 0 || picture.height == 0 || picture.rgb.size() != size_t(picture.width) * picture.height * 3)
    return bytes;
  if (!stbi_write_png_to_func(&appendBytes, &bytes, static_cast<int>(picture.width), static_cast<int>(picture.height),
                              3, picture.rgb.data(), static_cast<int>(picture.width * 3)))
    bytes.clear();
  return bytes;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool writeFile(const std::string& path, const std::string& text) {
  return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace ZerinDemo
