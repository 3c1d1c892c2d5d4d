#pragma once
// One submitted frame as a picture: the colour and depth images the runtime holds for it,
// side by side, written as PNG.
#include <cstdint>
#include <string>
#include <vector>

namespace ZerinDemo {

// One view's images as read back from the runtime's swap chains.
struct ReceivedView {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> colour;  // RGBA8 pixels as 0xAABBGGRR words
  std::vector<float> depth;      // width x height
  double minDepth = 0, maxDepth = 1;  // the depth range the view was submitted with
};

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows from the top, three bytes a pixel
};

// Depth as grey: minDepth white, maxDepth black, linear between; outside the range clamped.
uint8_t depthGrey(float depth, double minDepth, double maxDepth);

// `views` holds `layers` rows of `viewsPerLayer` views of one size. The picture has one row of
// tiles per layer: the colour images from left to right, a wider gap, then the depth images in
// the same order; kGap pixels of dark grey around and between the tiles.
constexpr uint32_t kGap = 4;
Picture composeFrame(const std::vector<ReceivedView>& views, int layers, int viewsPerLayer);

// The PNG file's bytes (8-bit RGB); empty when the picture is empty.
std::vector<uint8_t> encodePng(const Picture& picture);
// Writes the bytes to `path`; false when the file cannot be written.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const std::string& text);

}  // namespace ZerinDemo
