// The mirror on the system's device: a swap chain of the client's own device for the window,
// each view copied into its back buffer and presented without waiting. The window's thread only
// pumps messages, so the graphics system's messages to it never wait on this thread.
#include <d3d11.h>
#include <dxgi.h>

#include <algorithm>

#include "gfx_device.h"
#include "mirror.h"

namespace ZerinSim {

namespace {

// The back buffer's format for views of `format`: one a swap chain takes, of the same family so
// that the copy is allowed; unknown when there is none.
DXGI_FORMAT backBufferFormat(DXGI_FORMAT format) {
  switch (format) {
    case DXGI_FORMAT_R8G8B8A8_TYPELESS: return DXGI_FORMAT_R8G8B8A8_UNORM;
    case DXGI_FORMAT_B8G8R8A8_TYPELESS: return DXGI_FORMAT_B8G8R8A8_UNORM;
    case DXGI_FORMAT_R16G16B16A16_TYPELESS: return DXGI_FORMAT_R16G16B16A16_FLOAT;
    case DXGI_FORMAT_R10G10B10A2_TYPELESS: return DXGI_FORMAT_R10G10B10A2_UNORM;
    case DXGI_FORMAT_R8G8B8A8_UNORM:
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
    case DXGI_FORMAT_R10G10B10A2_UNORM: return format;
    default: return DXGI_FORMAT_UNKNOWN;
  }
}

class SwapChainPresenter : public MirrorPresenter {
 public:
  SwapChainPresenter(Zerin::platform::Window& window, Simulator& simulator) : window(window), simulator(simulator) {}

  bool present(const std::vector<MirrorView>& views) override {
    if (views.empty() || !window.isOpen()) return false;
    D3D11_TEXTURE2D_DESC first;
    views[0].texture->GetDesc(&first);
    UINT width = 0, height = 0;
    for (const MirrorView& view : views) {
      width += UINT(view.rect.width);
      height = std::max(height, UINT(view.rect.height));
    }
    Gfx::Ref<ID3D11Device> device;
    views[0].texture->GetDevice(device.put());
    const DXGI_FORMAT format = backBufferFormat(first.Format);
    if (format == DXGI_FORMAT_UNKNOWN)
      return refuse("the mirror cannot show colour format " + std::to_string(first.Format));
    const bool changed =
        device.get() != owner.get() || format != bufferFormat || width != bufferWidth || height != bufferHeight;
    // A swap chain refused once is asked for again only for other views.
    if (changed || (!swapChain && !broken)) broken = !make(device, format, width, height);
    if (!swapChain) return false;
    Gfx::Ref<ID3D11Texture2D> back;
    if (FAILED(swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(back.put())))) return false;
    Gfx::Ref<ID3D11DeviceContext> context;
    device->GetImmediateContext(context.put());
    UINT left = 0;
    for (const MirrorView& view : views) {
      D3D11_TEXTURE2D_DESC desc;
      view.texture->GetDesc(&desc);
      if (backBufferFormat(desc.Format) != format) return false;
      const D3D11_BOX box{UINT(view.rect.x),
                          UINT(view.rect.y),
                          0,
                          UINT(view.rect.x + view.rect.width),
                          UINT(view.rect.y + view.rect.height),
                          1};
      context->CopySubresourceRegion(back.get(), 0, left, 0, 0, view.texture,
                                     D3D11CalcSubresource(0, UINT(view.rect.arrayIndex), desc.MipLevels), &box);
      left += UINT(view.rect.width);
    }
    // A queue of frames still to be shown skips this one rather than holding the render thread.
    return swapChain->Present(0, DXGI_PRESENT_DO_NOT_WAIT) == S_OK;
  }

 private:
  bool make(const Gfx::Ref<ID3D11Device>& device, DXGI_FORMAT format, UINT width, UINT height) {
    swapChain.reset();
    owner = device;
    bufferFormat = format;
    bufferWidth = width;
    bufferHeight = height;
    Gfx::Ref<IDXGIDevice> dxgiDevice;
    Gfx::Ref<IDXGIAdapter> adapter;
    Gfx::Ref<IDXGIFactory> factory;
    if (FAILED(device->QueryInterface(__uuidof(IDXGIDevice), reinterpret_cast<void**>(dxgiDevice.put()))) ||
        FAILED(dxgiDevice->GetAdapter(adapter.put())) ||
        FAILED(adapter->GetParent(__uuidof(IDXGIFactory), reinterpret_cast<void**>(factory.put()))))
      return refuse("the mirror finds no graphics factory for the client's device");
    DXGI_SWAP_CHAIN_DESC desc{};
    desc.BufferDesc.Width = width;
    desc.BufferDesc.Height = height;
    desc.BufferDesc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = static_cast<HWND>(window.nativeHandle());
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;  // scales the views to the window's size
    const HRESULT made = factory->CreateSwapChain(device.get(), &desc, swapChain.put());
    if (FAILED(made)) return refuse("the mirror's swap chain was refused (" + std::to_string(uint32_t(made)) + ")");
    // No full-screen switch or mode change: those would send the window messages and wait.
    factory->MakeWindowAssociation(desc.OutputWindow, DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER);
    return true;
  }

  bool refuse(const std::string& why) {
    if (!told) simulator.log(why);
    told = true;
    swapChain.reset();
    return false;
  }

  Zerin::platform::Window& window;
  Simulator& simulator;
  Gfx::Ref<IDXGISwapChain> swapChain;
  Gfx::Ref<ID3D11Device> owner;  // the device the swap chain belongs to
  DXGI_FORMAT bufferFormat = DXGI_FORMAT_UNKNOWN;
  UINT bufferWidth = 0, bufferHeight = 0;
  bool told = false;
  bool broken = false;  // the swap chain for these views was refused
};

}  // namespace

std::unique_ptr<MirrorPresenter> makeMirrorPresenter(Zerin::platform::Window& window, Simulator& simulator) {
  return std::make_unique<SwapChainPresenter>(window, simulator);
}

}  // namespace ZerinSim
