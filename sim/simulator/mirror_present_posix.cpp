// The mirror on the software device: each view read back on the render thread (a copy in
// memory) into one picture that the window's thread puts on the screen.
#include <algorithm>
#include <cstring>

#include "captures.h"
#include "gfx_textures.h"
#include "mirror.h"

namespace ZerinSim {

namespace {

class ReadBackPresenter : public MirrorPresenter {
 public:
  ReadBackPresenter(Zerin::platform::Window& window, Simulator& simulator) : window(window), simulator(simulator) {}

  bool present(const std::vector<MirrorView>& views) override {
    // A window still drawing the last picture costs the frame nothing but this question.
    if (views.empty() || !window.readyToShow()) return false;
    int32_t width = 0, height = 0;
    for (const MirrorView& view : views) {
      width += view.rect.width;
      height = std::max(height, view.rect.height);
    }
    picture.assign(size_t(width) * size_t(height) * 4, 0);
    int32_t left = 0;
    for (const MirrorView& view : views) {
      if (!copyView(view, left, width)) return false;
      left += view.rect.width;
    }
    return window.show(std::move(picture), width, height);
  }

 private:
  bool copyView(const MirrorView& view, int32_t left, int32_t pictureWidth) {
    D3D11_TEXTURE2D_DESC desc;
    view.texture->GetDesc(&desc);
    // The formats a capture writes as colour are the ones the mirror can show.
    CapturePicture::Kind kind;
    if (!captureKind(desc.Format, false, kind)) {
      if (!toldFormat)
        simulator.log("the mirror shows 8-bit colour images only, not format " + std::to_string(desc.Format));
      toldFormat = true;
      return false;
    }
    Gfx::Ref<ID3D11Device> device;
    view.texture->GetDevice(device.put());
    Gfx::Ref<ID3D11DeviceContext> context;
    device->GetImmediateContext(context.put());
    const std::vector<uint8_t> texels = Gfx::readTexels(context.get(), view.texture, UINT(view.rect.arrayIndex));
    if (texels.size() < size_t(desc.Width) * desc.Height * 4 || view.rect.x < 0 || view.rect.y < 0 ||
        uint32_t(view.rect.x + view.rect.width) > desc.Width || uint32_t(view.rect.y + view.rect.height) > desc.Height)
      return false;
    for (int32_t y = 0; y < view.rect.height; ++y) {
      const uint8_t* in = texels.data() + (size_t(view.rect.y + y) * desc.Width + size_t(view.rect.x)) * 4;
      uint8_t* out = picture.data() + (size_t(y) * size_t(pictureWidth) + size_t(left)) * 4;
      std::memcpy(out, in, size_t(view.rect.width) * 4);
      if (kind != CapturePicture::Kind::rgba)
        for (int32_t x = 0; x < view.rect.width; ++x) std::swap(out[x * 4], out[x * 4 + 2]);
    }
    return true;
  }

  Zerin::platform::Window& window;
  Simulator& simulator;
  std::vector<uint8_t> picture;  // handed to the window, which hands its last one back
  bool toldFormat = false;
};

}  // namespace

std::unique_ptr<MirrorPresenter> makeMirrorPresenter(Zerin::platform::Window& window, Simulator& simulator) {
  return std::make_unique<ReadBackPresenter>(window, simulator);
}

}  // namespace ZerinSim
