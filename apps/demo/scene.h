#pragma once
// What the engine renders for one view of one frame: a lit ball over a floor, in front of a
// backdrop. The ball swings with the frame the pose belongs to, round every kSceneFrames
// frames, and each view sees it from a little to the side, so that consecutive frames and the
// views differ and every texel can be checked exactly.
#include <cstdint>
#include <vector>

namespace ZerinDemo {

struct ViewImage {
  uint32_t size = 0;            // square, size x size
  std::vector<uint32_t> colour;  // RGBA8 pixels as 0xAABBGGRR words, rows from the top
  std::vector<float> depth;      // 0 near to 1 far, multiples of 1/4096 (exact in float)
};

constexpr int64_t kSceneFrames = 30;

// The scene's frame of any frame number: a runtime's poses, and so the frame read from them, may
// be negative.
constexpr int64_t sceneFrame(int64_t frame) { return (frame % kSceneFrames + kSceneFrames) % kSceneFrames; }

ViewImage renderView(int64_t frame, int view, uint32_t size);

}  // namespace ZerinDemo
