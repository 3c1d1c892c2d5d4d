// The immediate context of a bare device: the calls a frame makes keep their bindings and
// references but move no texel and leave no record, so that a benchmark sees the cost of being
// called and nothing of the software rasteriser.
#include <algorithm>
#include <atomic>

#include "soft_objects.h"

namespace ZerinSim::Gfx::Soft {
namespace {

std::atomic<bool> bareSwitch{false};

// A bare device sees only its own objects: the cast needs no run-time check.
template <class Ours, class Interface>
void bindOurs(Bound<Interface>& slot, Interface* object) {
  slot.set(object, object ? static_cast<Ours*>(object) : nullptr);
}

class BareContext final : public SoftContext {
 public:
  using SoftContext::SoftContext;

  void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource*, UINT, UINT, UINT, UINT, ID3D11Resource*, UINT,
                                               const D3D11_BOX*) override {}
  void STDMETHODCALLTYPE IASetVertexBuffers(UINT, UINT, ID3D11Buffer* const*, const UINT*, const UINT*) override {}
  void STDMETHODCALLTYPE IASetIndexBuffer(ID3D11Buffer*, DXGI_FORMAT, UINT) override {}
  // The device makes no input layouts: only null reaches here.
  void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* layout) override { inputLayout.set(layout, nullptr); }
  void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY value) override { topology = value; }
  void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const*, UINT) override {
    bindOurs<SoftVertexShader>(vertexShader, shader);
  }
  void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const*, UINT) override {
    bindOurs<SoftPixelShader>(pixelShader, shader);
  }
  void STDMETHODCALLTYPE PSSetShaderResources(UINT start, UINT count, ID3D11ShaderResourceView* const* views) override {
    for (UINT index = 0; index < count && start + index < kShaderResourceSlots; ++index)
      bindOurs<SoftShaderResourceView>(pixelResources[start + index], views ? views[index] : nullptr);
  }
  void STDMETHODCALLTYPE OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views,
                                            ID3D11DepthStencilView* depth) override {
    for (UINT index = 0; index < kRenderTargetSlots; ++index)
      bindOurs<SoftRenderTargetView>(renderTargets[index], index < count && views ? views[index] : nullptr);
    bindOurs<SoftDepthStencilView>(depthStencil, depth);
  }
  void STDMETHODCALLTYPE OMGetRenderTargets(UINT count, ID3D11RenderTargetView** views,
                                            ID3D11DepthStencilView** depth) override {
    for (UINT index = 0; index < count && views; ++index)
      views[index] = index < kRenderTargetSlots ? handOut(renderTargets[index]) : nullptr;
    if (depth) *depth = handOut(depthStencil);
  }
  void STDMETHODCALLTYPE OMSetDepthStencilState(ID3D11DepthStencilState* state, UINT reference) override {
    bindOurs<SoftDepthStencilState>(depthState, state);
    stencilRef = reference;
  }
  // The device makes no blend states: only null reaches here.
  void STDMETHODCALLTYPE OMSetBlendState(ID3D11BlendState* state, const FLOAT factor[4], UINT mask) override {
    blendState.set(state, nullptr);
    if (factor)
      std::copy(factor, factor + 4, blendFactor);
    else
      std::fill(std::begin(blendFactor), std::end(blendFactor), 1.0f);
    sampleMask = mask;
  }
  void STDMETHODCALLTYPE RSSetState(ID3D11RasterizerState* state) override {
    bindOurs<SoftRasterizerState>(rasterizerState, state);
  }
  void STDMETHODCALLTYPE RSSetViewports(UINT count, const D3D11_VIEWPORT* given) override {
    if (count > kViewportSlots || (count && !given)) return;
    std::copy(given, given + count, viewports);
    viewportCount = count;
  }
  void STDMETHODCALLTYPE Draw(UINT, UINT) override {}

 private:
  template <class T>
  static T* handOut(const Bound<T>& slot) {
    T* object = slot.get();
    if (object) object->AddRef();
    return object;
  }
};

}  // namespace

bool bareDevices() { return bareSwitch.load(); }

SoftContext* newBareContext(SoftDevice* owner) { return new BareContext(owner); }

}  // namespace ZerinSim::Gfx::Soft

namespace ZerinSim::Gfx {

void setBareDevices(bool bare) { Soft::bareSwitch.store(bare); }

}  // namespace ZerinSim::Gfx
