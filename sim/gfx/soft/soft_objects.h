#pragma once
// The software device's objects. Each one counts the references callers hold (AddRef/Release)
// apart from the holds of the pipeline and of views, as the system's objects do: a caller's
// counts drop back when it lets go, even while the context still has the object bound.
#include <d3d11.h>
#include <d3dcompiler.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "gfx_soft_control.h"
#include "soft_timing.h"

namespace ZerinSim::Gfx::Soft {

class SoftDevice;

// Keeps an object's memory alive; the object goes when the last hold goes.
class Holdable {
 public:
  void hold() { holds.fetch_add(1, std::memory_order_relaxed); }
  void unhold() {
    if (holds.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 protected:
  virtual ~Holdable() = default;

 private:
  std::atomic<ULONG> holds{0};
};

// What an object lets go of after its last public reference, once its own hold is dropped
// (so that releasing the device last never outlives the device).
struct Deferred {
  IUnknown* first = nullptr;
  IUnknown* second = nullptr;
};

// IUnknown for one interface chain. Public references hold the object once, and whatever
// onFirstReference takes (the device, a view's resource) until the last one goes.
template <class Interface>
class Object : public Interface, public Holdable {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || implements(riid)) {
      AddRef();
      *out = static_cast<Interface*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    const ULONG count = references.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count == 1) {
      hold();
      onFirstReference();
    }
    return count;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0) {
      const Deferred after = onLastReference();
      unhold();
      if (after.first) after.first->Release();
      if (after.second) after.second->Release();
    }
    return count;
  }

 protected:
  virtual bool implements(REFIID riid) const = 0;
  virtual void onFirstReference() {}
  virtual Deferred onLastReference() { return {}; }

 private:
  std::atomic<ULONG> references{0};
};

// The objects a device makes: each public reference chain holds the device too.
template <class Interface>
class Child : public Object<Interface> {
 public:
  explicit Child(SoftDevice* owner, bool counted = true);
  ~Child() override;
  void STDMETHODCALLTYPE GetDevice(ID3D11Device** ppDevice) override;
  HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) override;
  SoftDevice* device() const { return owner; }

 protected:
  void onFirstReference() override;
  Deferred onLastReference() override;

 private:
  SoftDevice* owner;
  bool counted;
  // Released when the object goes, as the system's objects do: after the last reference and
  // the last hold of a view or binding.
  std::vector<std::pair<GUID, IUnknown*>> privateInterfaces;
};

bool interfaceIn(REFIID riid, std::initializer_list<const IID*> iids);

class SoftTexture final : public Child<ID3D11Texture2D> {
 public:
  SoftTexture(SoftDevice* owner, const D3D11_TEXTURE2D_DESC& desc, UINT texelBytes);
  void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* dimension) override;
  void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) override;

  const D3D11_TEXTURE2D_DESC& desc() const { return description; }
  UINT texelBytes() const { return bytesPerTexel; }
  UINT subresourceCount() const { return description.MipLevels * description.ArraySize; }
  UINT mipOf(UINT subresource) const { return subresource % description.MipLevels; }
  UINT sliceOf(UINT subresource) const { return subresource / description.MipLevels; }
  UINT width(UINT subresource) const;
  UINT height(UINT subresource) const;
  UINT rowPitch(UINT subresource) const;
  uint8_t* texel(UINT subresource, UINT x, UINT y);
  uint8_t* data(UINT subresource) { return storage[subresource].data(); }
  std::vector<bool> mapped;

 protected:
  bool implements(REFIID riid) const override;

 private:
  D3D11_TEXTURE2D_DESC description;
  UINT bytesPerTexel;
  std::vector<std::vector<uint8_t>> storage;
  std::vector<UINT> pitches;
};

// Views keep their texture in memory as long as they exist, without a public reference, as
// the system's views do: the texture's count is the callers' alone.
template <class Interface, class Desc>
class SoftView : public Child<Interface> {
 public:
  SoftView(SoftDevice* owner, SoftTexture* texture, const Desc& desc)
      : Child<Interface>(owner), target(texture), description(desc) {
    target->hold();
  }
  ~SoftView() override { target->unhold(); }
  void STDMETHODCALLTYPE GetResource(ID3D11Resource** ppResource) override {
    target->AddRef();
    *ppResource = target;
  }
  void STDMETHODCALLTYPE GetDesc(Desc* pDesc) override { *pDesc = description; }
  SoftTexture* texture() const { return target; }
  const Desc& desc() const { return description; }

 private:
  SoftTexture* target;
  Desc description;
};

class SoftShaderResourceView final : public SoftView<ID3D11ShaderResourceView, D3D11_SHADER_RESOURCE_VIEW_DESC> {
 public:
  using SoftView::SoftView;
  // The subresource the pixel shader reads.
  UINT subresource() const;

 protected:
  bool implements(REFIID riid) const override;
};

class SoftRenderTargetView final : public SoftView<ID3D11RenderTargetView, D3D11_RENDER_TARGET_VIEW_DESC> {
 public:
  using SoftView::SoftView;
  std::vector<UINT> subresources() const;

 protected:
  bool implements(REFIID riid) const override;
};

class SoftDepthStencilView final : public SoftView<ID3D11DepthStencilView, D3D11_DEPTH_STENCIL_VIEW_DESC> {
 public:
  using SoftView::SoftView;
  std::vector<UINT> subresources() const;

 protected:
  bool implements(REFIID riid) const override;
};

enum class ShaderProgram : uint32_t { DepthCopyVertex = 1, DepthCopyPixel = 2 };

class SoftVertexShader final : public Child<ID3D11VertexShader> {
 public:
  SoftVertexShader(SoftDevice* owner, ShaderProgram program) : Child(owner), kind(program) {}
  ShaderProgram program() const { return kind; }

 protected:
  bool implements(REFIID riid) const override;

 private:
  ShaderProgram kind;
};

class SoftPixelShader final : public Child<ID3D11PixelShader> {
 public:
  SoftPixelShader(SoftDevice* owner, ShaderProgram program) : Child(owner), kind(program) {}
  ShaderProgram program() const { return kind; }

 protected:
  bool implements(REFIID riid) const override;

 private:
  ShaderProgram kind;
};

// Identical descriptions give the same state object, as on the system's devices.
class SoftDepthStencilState final : public Child<ID3D11DepthStencilState> {
 public:
  SoftDepthStencilState(SoftDevice* owner, const D3D11_DEPTH_STENCIL_DESC& desc) : Child(owner), description(desc) {}
  void STDMETHODCALLTYPE GetDesc(D3D11_DEPTH_STENCIL_DESC* pDesc) override { *pDesc = description; }
  const D3D11_DEPTH_STENCIL_DESC& desc() const { return description; }

 protected:
  bool implements(REFIID riid) const override;
  Deferred onLastReference() override;

 private:
  D3D11_DEPTH_STENCIL_DESC description;
};

class SoftRasterizerState final : public Child<ID3D11RasterizerState> {
 public:
  SoftRasterizerState(SoftDevice* owner, const D3D11_RASTERIZER_DESC& desc) : Child(owner), description(desc) {}
  void STDMETHODCALLTYPE GetDesc(D3D11_RASTERIZER_DESC* pDesc) override { *pDesc = description; }
  const D3D11_RASTERIZER_DESC& desc() const { return description; }

 protected:
  bool implements(REFIID riid) const override;
  Deferred onLastReference() override;

 private:
  D3D11_RASTERIZER_DESC description;
};

// A pipeline binding: holds the object in memory while it is bound.
template <class T>
class Bound {
 public:
  Bound() = default;
  Bound(const Bound&) = delete;
  Bound& operator=(const Bound&) = delete;
  ~Bound() { set(nullptr, nullptr); }
  // `interface` is what the caller passed; `object` is ours, or null for a foreign object.
  void set(T* interface, Holdable* object) {
    if (object) object->hold();
    if (held) held->unhold();
    pointer = interface;
    held = object;
  }
  T* get() const { return pointer; }

 private:
  T* pointer = nullptr;
  Holdable* held = nullptr;
};

// The device owns its one immediate context; references to the context hold the device. A bare
// device's context (newBareContext) overrides the calls a frame makes.
class SoftContext : public Child<ID3D11DeviceContext> {
 public:
  explicit SoftContext(SoftDevice* owner) : Child(owner, false) {}
  ~SoftContext() override = default;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource* pDstResource, UINT DstSubresource, UINT DstX,
                                               UINT DstY, UINT DstZ, ID3D11Resource* pSrcResource,
                                               UINT SrcSubresource, const D3D11_BOX* pSrcBox) override;
  void STDMETHODCALLTYPE CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) override;
  HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                D3D11_MAPPED_SUBRESOURCE* pMappedResource) override;
  void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) override;
  void STDMETHODCALLTYPE IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                            const UINT* pStrides, const UINT* pOffsets) override;
  void STDMETHODCALLTYPE IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) override;
  void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* pInputLayout) override;
  void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) override;
  void STDMETHODCALLTYPE IAGetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY* pTopology) override;
  void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const* ppClassInstances,
                                     UINT NumClassInstances) override;
  void STDMETHODCALLTYPE VSGetShader(ID3D11VertexShader** ppVertexShader, ID3D11ClassInstance** ppClassInstances,
                                     UINT* pNumClassInstances) override;
  void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const* ppClassInstances,
                                     UINT NumClassInstances) override;
  void STDMETHODCALLTYPE PSGetShader(ID3D11PixelShader** ppPixelShader, ID3D11ClassInstance** ppClassInstances,
                                     UINT* pNumClassInstances) override;
  void STDMETHODCALLTYPE PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                              ID3D11ShaderResourceView* const* ppShaderResourceViews) override;
  void STDMETHODCALLTYPE PSGetShaderResources(UINT StartSlot, UINT NumViews,
                                              ID3D11ShaderResourceView** ppShaderResourceViews) override;
  void STDMETHODCALLTYPE OMSetRenderTargets(UINT NumViews, ID3D11RenderTargetView* const* ppRenderTargetViews,
                                            ID3D11DepthStencilView* pDepthStencilView) override;
  void STDMETHODCALLTYPE OMGetRenderTargets(UINT NumViews, ID3D11RenderTargetView** ppRenderTargetViews,
                                            ID3D11DepthStencilView** ppDepthStencilView) override;
  void STDMETHODCALLTYPE OMSetDepthStencilState(ID3D11DepthStencilState* pDepthStencilState,
                                                UINT StencilRef) override;
  void STDMETHODCALLTYPE OMGetDepthStencilState(ID3D11DepthStencilState** ppDepthStencilState,
                                                UINT* pStencilRef) override;
  void STDMETHODCALLTYPE OMSetBlendState(ID3D11BlendState* pBlendState, const FLOAT BlendFactor[4],
                                         UINT SampleMask) override;
  void STDMETHODCALLTYPE OMGetBlendState(ID3D11BlendState** ppBlendState, FLOAT BlendFactor[4],
                                         UINT* pSampleMask) override;
  void STDMETHODCALLTYPE RSSetState(ID3D11RasterizerState* pRasterizerState) override;
  void STDMETHODCALLTYPE RSGetState(ID3D11RasterizerState** ppRasterizerState) override;
  void STDMETHODCALLTYPE RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) override;
  void STDMETHODCALLTYPE RSGetViewports(UINT* pNumViewports, D3D11_VIEWPORT* pViewports) override;
  void STDMETHODCALLTYPE Draw(UINT VertexCount, UINT StartVertexLocation) override;
  void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView,
                                               const FLOAT ColorRGBA[4]) override;
  void STDMETHODCALLTYPE ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags,
                                               FLOAT Depth, UINT8 Stencil) override;
  void STDMETHODCALLTYPE ClearState() override;
  void STDMETHODCALLTYPE Flush() override;

  void unbindAll();

 protected:
  bool implements(REFIID riid) const override;

  static constexpr UINT kRenderTargetSlots = 8;
  static constexpr UINT kShaderResourceSlots = 128;
  static constexpr UINT kViewportSlots = 16;

  void unbindShaderResourcesOf(const std::vector<SoftTexture*>& textures, std::string& problem);
  bool boundAsOutput(SoftTexture* texture) const;
  uint64_t rasterizeDepthCopy(UINT drawCount, UINT drawStart, std::string& problem);

  Bound<ID3D11RenderTargetView> renderTargets[kRenderTargetSlots];
  Bound<ID3D11DepthStencilView> depthStencil;
  Bound<ID3D11ShaderResourceView> pixelResources[kShaderResourceSlots];
  Bound<ID3D11VertexShader> vertexShader;
  Bound<ID3D11PixelShader> pixelShader;
  Bound<ID3D11InputLayout> inputLayout;
  Bound<ID3D11DepthStencilState> depthState;
  UINT stencilRef = 0;
  Bound<ID3D11BlendState> blendState;
  FLOAT blendFactor[4] = {1, 1, 1, 1};
  UINT sampleMask = 0xffffffffu;
  Bound<ID3D11RasterizerState> rasterizerState;
  D3D11_PRIMITIVE_TOPOLOGY topology = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
  D3D11_VIEWPORT viewports[kViewportSlots] = {};
  UINT viewportCount = 0;

 private:
  std::atomic<ULONG> references{0};
};

// Whether devices made now are bare (setBareDevices), and the context such a device owns.
bool bareDevices();
SoftContext* newBareContext(SoftDevice* owner);

class SoftDevice final : public Object<ID3D11Device> {
 public:
  explicit SoftDevice(D3D_FEATURE_LEVEL level);
  ~SoftDevice() override;

  HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                            const D3D11_SUBRESOURCE_DATA* pInitialData,
                                            ID3D11Texture2D** ppTexture2D) override;
  HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* pResource,
                                                     const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                                     ID3D11ShaderResourceView** ppSRView) override;
  HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* pResource,
                                                   const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                                   ID3D11RenderTargetView** ppRTView) override;
  HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D11Resource* pResource,
                                                   const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                                   ID3D11DepthStencilView** ppDepthStencilView) override;
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                               ID3D11ClassLinkage* pClassLinkage,
                                               ID3D11VertexShader** ppVertexShader) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                              ID3D11ClassLinkage* pClassLinkage,
                                              ID3D11PixelShader** ppPixelShader) override;
  HRESULT STDMETHODCALLTYPE CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* pDepthStencilDesc,
                                                    ID3D11DepthStencilState** ppDepthStencilState) override;
  HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                                  ID3D11RasterizerState** ppRasterizerState) override;
  D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override {
    const CallTimer timer;
    return featureLevel;
  }
  void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) override;

  void record(Call call);
  std::vector<Call> calls() const;
  size_t callCount(const std::string& method) const;
  void clearCalls();

  void childCreated() { liveChildren.fetch_add(1, std::memory_order_relaxed); }
  void childDestroyed() { liveChildren.fetch_sub(1, std::memory_order_relaxed); }
  size_t children() const { return liveChildren.load(); }

  // Made while setBareDevices was on: no pixel work, no record of calls.
  bool bare() const { return bareCalls; }

  void forgetDepthStencilState(SoftDepthStencilState* state);
  void forgetRasterizerState(SoftRasterizerState* state);

 protected:
  bool implements(REFIID riid) const override;

 private:
  static constexpr size_t kKeptCalls = 65536;

  D3D_FEATURE_LEVEL featureLevel;
  const bool bareCalls;
  SoftContext* context;
  std::atomic<size_t> liveChildren{0};

  mutable std::mutex logLock;  // guards log and counts
  std::deque<Call> log;
  std::map<std::string, size_t> counts;

  std::mutex stateLock;  // guards the two state tables: one live object per description
  std::map<std::string, SoftDepthStencilState*> depthStates;
  std::map<std::string, SoftRasterizerState*> rasterizerStates;
};

template <class Interface>
Child<Interface>::Child(SoftDevice* device, bool count) : owner(device), counted(count) {
  if (counted) owner->childCreated();
}

template <class Interface>
Child<Interface>::~Child() {
  for (auto& entry : privateInterfaces)
    if (entry.second) entry.second->Release();
  if (counted) owner->childDestroyed();
}

template <class Interface>
HRESULT Child<Interface>::SetPrivateDataInterface(REFGUID guid, const IUnknown* data) {
  auto* added = const_cast<IUnknown*>(data);
  if (added) added->AddRef();
  for (auto& entry : privateInterfaces) {
    if (!IsEqualGUID(entry.first, guid)) continue;
    if (entry.second) entry.second->Release();
    entry.second = added;
    return S_OK;
  }
  privateInterfaces.emplace_back(guid, added);
  return S_OK;
}

template <class Interface>
void Child<Interface>::GetDevice(ID3D11Device** ppDevice) {
  owner->AddRef();
  *ppDevice = owner;
}

template <class Interface>
void Child<Interface>::onFirstReference() {
  owner->AddRef();
}

template <class Interface>
Deferred Child<Interface>::onLastReference() {
  return {nullptr, owner};
}

// Our object behind an interface pointer, or null for a foreign or null one.
template <class T, class I>
T* soft(I* pointer) {
  return pointer ? dynamic_cast<T*>(pointer) : nullptr;
}

}  // namespace ZerinSim::Gfx::Soft
