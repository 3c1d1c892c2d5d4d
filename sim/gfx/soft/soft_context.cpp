// The software immediate context: copies, mapping, the pipeline bindings with the system's
// reference rules, clears, and draws of the depth-copy program.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "soft_formats.h"
#include "soft_objects.h"

namespace ZerinSim::Gfx::Soft {
namespace {

Call make(const char* method, std::vector<const void*> objects, std::vector<double> values,
          std::string problem = {}, HRESULT result = S_OK) {
  Call call;
  call.method = method;
  call.objects = std::move(objects);
  call.values = std::move(values);
  call.result = result;
  call.problem = std::move(problem);
  return call;
}

Holdable* holdable(IUnknown* object) { return object ? dynamic_cast<Holdable*>(object) : nullptr; }

template <class T>
void bind(Bound<T>& slot, T* object) {
  slot.set(object, holdable(object));
}

template <class T>
T* handOut(const Bound<T>& slot) {
  T* object = slot.get();
  if (object) object->AddRef();
  return object;
}

bool compare(D3D11_COMPARISON_FUNC func, float incoming, float stored) {
  switch (func) {
    case D3D11_COMPARISON_NEVER:
      return false;
    case D3D11_COMPARISON_LESS:
      return incoming < stored;
    case D3D11_COMPARISON_EQUAL:
      return incoming == stored;
    case D3D11_COMPARISON_LESS_EQUAL:
      return incoming <= stored;
    case D3D11_COMPARISON_GREATER:
      return incoming > stored;
    case D3D11_COMPARISON_NOT_EQUAL:
      return incoming != stored;
    case D3D11_COMPARISON_GREATER_EQUAL:
      return incoming >= stored;
    case D3D11_COMPARISON_ALWAYS:
      return true;
  }
  return false;
}

D3D11_DEPTH_STENCIL_DESC defaultDepthState() {
  D3D11_DEPTH_STENCIL_DESC desc{};
  desc.DepthEnable = TRUE;
  desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
  desc.DepthFunc = D3D11_COMPARISON_LESS;
  return desc;
}

D3D11_RASTERIZER_DESC defaultRasterizerState() {
  D3D11_RASTERIZER_DESC desc{};
  desc.FillMode = D3D11_FILL_SOLID;
  desc.CullMode = D3D11_CULL_BACK;
  desc.DepthClipEnable = TRUE;
  return desc;
}

struct Point {
  float x, y, z;
};

// The vertex program: ids 0, 1, 2 make a triangle that covers the viewport.
void depthCopyVertex(UINT id, float clip[4]) {
  clip[0] = static_cast<float>(id / 2) * 4.0f - 1.0f;
  clip[1] = static_cast<float>(id % 2) * 4.0f - 1.0f;
  clip[2] = 1.0f;
  clip[3] = 1.0f;
}

float edge(const Point& from, const Point& to, float x, float y) {
  return (to.x - from.x) * (y - from.y) - (to.y - from.y) * (x - from.x);
}

// For triangles wound clockwise on the render target: the edges whose pixel centres belong
// to the triangle when they lie exactly on them.
bool topLeft(const Point& from, const Point& to) {
  const float dx = to.x - from.x;
  const float dy = to.y - from.y;
  return (dy == 0.0f && dx > 0.0f) || dy < 0.0f;
}

bool covers(float e, bool includeEdge) { return e > 0.0f || (e == 0.0f && includeEdge); }

}  // namespace

bool SoftContext::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11DeviceContext});
}

ULONG SoftContext::AddRef() {
  const ULONG count = references.fetch_add(1) + 1;
  if (count == 1) device()->AddRef();
  return count;
}

ULONG SoftContext::Release() {
  const ULONG count = references.fetch_sub(1) - 1;
  if (count == 0) device()->Release();  // may end the device, and with it this context
  return count;
}

void SoftContext::unbindAll() {
  for (auto& slot : renderTargets) slot.set(nullptr, nullptr);
  depthStencil.set(nullptr, nullptr);
  for (auto& slot : pixelResources) slot.set(nullptr, nullptr);
  vertexShader.set(nullptr, nullptr);
  pixelShader.set(nullptr, nullptr);
  inputLayout.set(nullptr, nullptr);
  depthState.set(nullptr, nullptr);
  blendState.set(nullptr, nullptr);
  rasterizerState.set(nullptr, nullptr);
  stencilRef = 0;
  std::fill(std::begin(blendFactor), std::end(blendFactor), 1.0f);
  sampleMask = 0xffffffffu;
  topology = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
  viewportCount = 0;
}

// ---- copies and mapping ---------------------------------------------------------------------

void SoftContext::CopySubresourceRegion(ID3D11Resource* pDstResource, UINT DstSubresource, UINT DstX, UINT DstY,
                                        UINT DstZ, ID3D11Resource* pSrcResource, UINT SrcSubresource,
                                        const D3D11_BOX* pSrcBox) {
  const CallTimer timer;
  std::vector<double> values = {double(DstSubresource), double(DstX),          double(DstY),
                                double(DstZ),           double(SrcSubresource), pSrcBox ? 1.0 : 0.0};
  if (pSrcBox)
    values.insert(values.end(), {double(pSrcBox->left), double(pSrcBox->top), double(pSrcBox->front),
                                 double(pSrcBox->right), double(pSrcBox->bottom), double(pSrcBox->back)});
  auto problem = [&]() -> std::string {
    auto* dst = soft<SoftTexture>(pDstResource);
    auto* src = soft<SoftTexture>(pSrcResource);
    if (!dst || !src) return "not textures of this device";
    if (dst->device() != device() || src->device() != device()) return "texture of another device";
    if (DstSubresource >= dst->subresourceCount() || SrcSubresource >= src->subresourceCount())
      return "subresource out of range";
    if (dst == src && DstSubresource == SrcSubresource) return "source and destination are one subresource";
    if (!sameFamily(dst->desc().Format, src->desc().Format)) return "formats are not copy-compatible";
    if (dst->desc().Usage == D3D11_USAGE_IMMUTABLE) return "destination is immutable";
    if (dst->mapped[DstSubresource] || src->mapped[SrcSubresource]) return "subresource is mapped";
    D3D11_BOX box = {0, 0, 0, src->width(SrcSubresource), src->height(SrcSubresource), 1};
    if (pSrcBox) box = *pSrcBox;
    if (box.right > src->width(SrcSubresource) || box.bottom > src->height(SrcSubresource) || box.front != 0 ||
        box.back > 1)
      return "source box outside the source";
    if (box.left >= box.right || box.top >= box.bottom || box.front >= box.back) return {};  // empty: nothing to do
    const UINT width = box.right - box.left;
    const UINT height = box.bottom - box.top;
    if (DstZ != 0 || DstX + width > dst->width(DstSubresource) || DstY + height > dst->height(DstSubresource))
      return "region outside the destination";
    const size_t row = static_cast<size_t>(width) * src->texelBytes();
    for (UINT y = 0; y < height; ++y)
      std::memmove(dst->texel(DstSubresource, DstX, DstY + y), src->texel(SrcSubresource, box.left, box.top + y), row);
    return {};
  }();
  device()->record(make("CopySubresourceRegion", {pDstResource, pSrcResource}, values, problem));
}

void SoftContext::CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) {
  const CallTimer timer;
  auto problem = [&]() -> std::string {
    auto* dst = soft<SoftTexture>(pDstResource);
    auto* src = soft<SoftTexture>(pSrcResource);
    if (!dst || !src) return "not textures of this device";
    if (dst->device() != device() || src->device() != device()) return "texture of another device";
    if (dst == src) return "source and destination are one texture";
    const auto& a = dst->desc();
    const auto& b = src->desc();
    if (a.Width != b.Width || a.Height != b.Height || a.MipLevels != b.MipLevels || a.ArraySize != b.ArraySize)
      return "textures differ in size";
    if (!sameFamily(a.Format, b.Format)) return "formats are not copy-compatible";
    if (a.Usage == D3D11_USAGE_IMMUTABLE) return "destination is immutable";
    for (UINT index = 0; index < dst->subresourceCount(); ++index)
      if (dst->mapped[index] || src->mapped[index]) return "subresource is mapped";
    for (UINT index = 0; index < dst->subresourceCount(); ++index) {
      const size_t row = static_cast<size_t>(dst->width(index)) * dst->texelBytes();
      for (UINT y = 0; y < dst->height(index); ++y) std::memcpy(dst->texel(index, 0, y), src->texel(index, 0, y), row);
    }
    return {};
  }();
  device()->record(make("CopyResource", {pDstResource, pSrcResource}, {}, problem));
}

HRESULT SoftContext::Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                         D3D11_MAPPED_SUBRESOURCE* pMappedResource) {
  const CallTimer timer;
  std::string problem;
  auto* texture = soft<SoftTexture>(pResource);
  if (!texture || texture->device() != device()) {
    problem = "not a texture of this device";
  } else if (Subresource >= texture->subresourceCount()) {
    problem = "subresource out of range";
  } else if (texture->mapped[Subresource]) {
    problem = "subresource already mapped";
  } else if (!pMappedResource) {
    problem = "no mapping record";
  } else if (MapFlags & ~UINT(D3D11_MAP_FLAG_DO_NOT_WAIT)) {
    problem = "unknown map flags";
  } else {
    const auto& desc = texture->desc();
    const bool canRead = desc.CPUAccessFlags & D3D11_CPU_ACCESS_READ;
    const bool canWrite = desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE;
    bool allowed = false;
    if (desc.Usage == D3D11_USAGE_STAGING) {
      allowed = (MapType == D3D11_MAP_READ && canRead) || (MapType == D3D11_MAP_WRITE && canWrite) ||
                (MapType == D3D11_MAP_READ_WRITE && canRead && canWrite);
    } else if (desc.Usage == D3D11_USAGE_DYNAMIC) {
      allowed = MapType == D3D11_MAP_WRITE_DISCARD;
    }
    if (!allowed) problem = "map type not allowed for this texture";
  }
  const HRESULT result = problem.empty() ? S_OK : E_INVALIDARG;
  if (SUCCEEDED(result)) {
    texture->mapped[Subresource] = true;
    pMappedResource->pData = texture->data(Subresource);
    pMappedResource->RowPitch = texture->rowPitch(Subresource);
    pMappedResource->DepthPitch = texture->rowPitch(Subresource) * texture->height(Subresource);
  } else if (pMappedResource) {
    *pMappedResource = {};
  }
  device()->record(make("Map", {pResource}, {double(Subresource), double(MapType), double(MapFlags)}, problem, result));
  return result;
}

void SoftContext::Unmap(ID3D11Resource* pResource, UINT Subresource) {
  const CallTimer timer;
  std::string problem;
  auto* texture = soft<SoftTexture>(pResource);
  if (!texture || texture->device() != device())
    problem = "not a texture of this device";
  else if (Subresource >= texture->subresourceCount() || !texture->mapped[Subresource])
    problem = "subresource not mapped";
  else
    texture->mapped[Subresource] = false;
  device()->record(make("Unmap", {pResource}, {double(Subresource)}, problem));
}

// ---- input assembler and shaders ------------------------------------------------------------

void SoftContext::IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                     const UINT* /*pStrides*/, const UINT* /*pOffsets*/) {
  const CallTimer timer;
  std::vector<const void*> objects;
  std::string problem;
  for (UINT index = 0; index < NumBuffers && ppVertexBuffers; ++index) {
    objects.push_back(ppVertexBuffers[index]);
    if (ppVertexBuffers[index]) problem = "vertex buffers are not supported";
  }
  device()->record(make("IASetVertexBuffers", objects, {double(StartSlot), double(NumBuffers)}, problem));
}

void SoftContext::IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) {
  const CallTimer timer;
  device()->record(make("IASetIndexBuffer", {pIndexBuffer}, {double(Format), double(Offset)},
                        pIndexBuffer ? "index buffers are not supported" : ""));
}

void SoftContext::IASetInputLayout(ID3D11InputLayout* pInputLayout) {
  const CallTimer timer;
  bind(inputLayout, pInputLayout);
  device()->record(make("IASetInputLayout", {pInputLayout}, {}));
}

void SoftContext::IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) {
  const CallTimer timer;
  topology = Topology;
  device()->record(make("IASetPrimitiveTopology", {}, {double(Topology)}));
}

void SoftContext::IAGetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY* pTopology) {
  const CallTimer timer;
  *pTopology = topology;
}

void SoftContext::VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const* ppClassInstances,
                              UINT NumClassInstances) {
  const CallTimer timer;
  std::vector<const void*> objects = {pVertexShader};
  for (UINT index = 0; index < NumClassInstances && ppClassInstances; ++index) objects.push_back(ppClassInstances[index]);
  bind(vertexShader, pVertexShader);
  device()->record(make("VSSetShader", objects, {double(NumClassInstances)}));
}

void SoftContext::VSGetShader(ID3D11VertexShader** ppVertexShader, ID3D11ClassInstance** /*ppClassInstances*/,
                              UINT* pNumClassInstances) {
  const CallTimer timer;
  if (ppVertexShader) *ppVertexShader = handOut(vertexShader);
  if (pNumClassInstances) *pNumClassInstances = 0;
}

void SoftContext::PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const* ppClassInstances,
                              UINT NumClassInstances) {
  const CallTimer timer;
  std::vector<const void*> objects = {pPixelShader};
  for (UINT index = 0; index < NumClassInstances && ppClassInstances; ++index) objects.push_back(ppClassInstances[index]);
  bind(pixelShader, pPixelShader);
  device()->record(make("PSSetShader", objects, {double(NumClassInstances)}));
}

void SoftContext::PSGetShader(ID3D11PixelShader** ppPixelShader, ID3D11ClassInstance** /*ppClassInstances*/,
                              UINT* pNumClassInstances) {
  const CallTimer timer;
  if (ppPixelShader) *ppPixelShader = handOut(pixelShader);
  if (pNumClassInstances) *pNumClassInstances = 0;
}

bool SoftContext::boundAsOutput(SoftTexture* texture) const {
  if (auto* view = soft<SoftDepthStencilView>(depthStencil.get()); view && view->texture() == texture) return true;
  for (const auto& slot : renderTargets)
    if (auto* view = soft<SoftRenderTargetView>(slot.get()); view && view->texture() == texture) return true;
  return false;
}

void SoftContext::PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                       ID3D11ShaderResourceView* const* ppShaderResourceViews) {
  const CallTimer timer;
  std::vector<const void*> objects;
  std::string problem;
  if (StartSlot >= kShaderResourceSlots || NumViews > kShaderResourceSlots - StartSlot) {
    problem = "slots out of range";
  } else {
    for (UINT index = 0; index < NumViews; ++index) {
      ID3D11ShaderResourceView* view = ppShaderResourceViews ? ppShaderResourceViews[index] : nullptr;
      objects.push_back(view);
      // As the system does: a texture still bound for output is bound as null for input.
      if (auto* ours = soft<SoftShaderResourceView>(view); ours && boundAsOutput(ours->texture())) {
        problem += "slot " + std::to_string(StartSlot + index) + " still bound as output: bound null instead; ";
        view = nullptr;
      }
      bind(pixelResources[StartSlot + index], view);
    }
  }
  device()->record(make("PSSetShaderResources", objects, {double(StartSlot), double(NumViews)}, problem));
}

void SoftContext::PSGetShaderResources(UINT StartSlot, UINT NumViews, ID3D11ShaderResourceView** ppShaderResourceViews) {
  const CallTimer timer;
  for (UINT index = 0; index < NumViews; ++index)
    ppShaderResourceViews[index] =
        StartSlot + index < kShaderResourceSlots ? handOut(pixelResources[StartSlot + index]) : nullptr;
}

// ---- output merger and rasterizer -----------------------------------------------------------

void SoftContext::OMSetRenderTargets(UINT NumViews, ID3D11RenderTargetView* const* ppRenderTargetViews,
                                     ID3D11DepthStencilView* pDepthStencilView) {
  const CallTimer timer;
  std::vector<const void*> objects;
  for (UINT index = 0; index < NumViews && ppRenderTargetViews; ++index) objects.push_back(ppRenderTargetViews[index]);
  objects.push_back(pDepthStencilView);
  if (NumViews > kRenderTargetSlots) {
    device()->record(make("OMSetRenderTargets", objects, {double(NumViews)}, "too many render targets"));
    return;
  }
  for (UINT index = 0; index < kRenderTargetSlots; ++index)
    bind(renderTargets[index], index < NumViews && ppRenderTargetViews ? ppRenderTargetViews[index] : nullptr);
  bind(depthStencil, pDepthStencilView);
  // A texture bound for output leaves the input slots, as on the system's devices.
  for (auto& slot : pixelResources)
    if (auto* view = soft<SoftShaderResourceView>(slot.get()); view && boundAsOutput(view->texture()))
      slot.set(nullptr, nullptr);
  device()->record(make("OMSetRenderTargets", objects, {double(NumViews)}));
}

void SoftContext::OMGetRenderTargets(UINT NumViews, ID3D11RenderTargetView** ppRenderTargetViews,
                                     ID3D11DepthStencilView** ppDepthStencilView) {
  const CallTimer timer;
  std::vector<const void*> objects;
  for (UINT index = 0; index < NumViews && ppRenderTargetViews; ++index) {
    ppRenderTargetViews[index] = index < kRenderTargetSlots ? handOut(renderTargets[index]) : nullptr;
    objects.push_back(ppRenderTargetViews[index]);
  }
  if (ppDepthStencilView) {
    *ppDepthStencilView = handOut(depthStencil);
    objects.push_back(*ppDepthStencilView);
  }
  device()->record(make("OMGetRenderTargets", objects, {double(NumViews)}));
}

void SoftContext::OMSetDepthStencilState(ID3D11DepthStencilState* pDepthStencilState, UINT StencilRef) {
  const CallTimer timer;
  bind(depthState, pDepthStencilState);
  stencilRef = StencilRef;
  device()->record(make("OMSetDepthStencilState", {pDepthStencilState}, {double(StencilRef)}));
}

void SoftContext::OMGetDepthStencilState(ID3D11DepthStencilState** ppDepthStencilState, UINT* pStencilRef) {
  const CallTimer timer;
  if (ppDepthStencilState) *ppDepthStencilState = handOut(depthState);
  if (pStencilRef) *pStencilRef = stencilRef;
}

void SoftContext::OMSetBlendState(ID3D11BlendState* pBlendState, const FLOAT BlendFactor[4], UINT SampleMask) {
  const CallTimer timer;
  bind(blendState, pBlendState);
  if (BlendFactor)
    std::copy(BlendFactor, BlendFactor + 4, blendFactor);
  else
    std::fill(std::begin(blendFactor), std::end(blendFactor), 1.0f);
  sampleMask = SampleMask;
  device()->record(make("OMSetBlendState", {pBlendState}, {BlendFactor ? 1.0 : 0.0, double(SampleMask)}));
}

void SoftContext::OMGetBlendState(ID3D11BlendState** ppBlendState, FLOAT BlendFactor[4], UINT* pSampleMask) {
  const CallTimer timer;
  if (ppBlendState) *ppBlendState = handOut(blendState);
  if (BlendFactor) std::copy(std::begin(blendFactor), std::end(blendFactor), BlendFactor);
  if (pSampleMask) *pSampleMask = sampleMask;
}

void SoftContext::RSSetState(ID3D11RasterizerState* pRasterizerState) {
  const CallTimer timer;
  bind(rasterizerState, pRasterizerState);
  device()->record(make("RSSetState", {pRasterizerState}, {}));
}

void SoftContext::RSGetState(ID3D11RasterizerState** ppRasterizerState) {
  const CallTimer timer;
  if (ppRasterizerState) *ppRasterizerState = handOut(rasterizerState);
}

void SoftContext::RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) {
  const CallTimer timer;
  std::vector<double> values = {double(NumViewports)};
  for (UINT index = 0; index < NumViewports && pViewports; ++index) {
    const auto& v = pViewports[index];
    values.insert(values.end(), {v.TopLeftX, v.TopLeftY, v.Width, v.Height, v.MinDepth, v.MaxDepth});
  }
  std::string problem;
  if (NumViewports > kViewportSlots || (NumViewports && !pViewports)) {
    problem = "viewports out of range";
  } else {
    std::copy(pViewports, pViewports + NumViewports, viewports);
    viewportCount = NumViewports;
  }
  device()->record(make("RSSetViewports", {}, values, problem));
}

void SoftContext::RSGetViewports(UINT* pNumViewports, D3D11_VIEWPORT* pViewports) {
  const CallTimer timer;
  if (!pNumViewports) return;
  if (!pViewports) {
    *pNumViewports = viewportCount;
    return;
  }
  const UINT count = std::min(*pNumViewports, viewportCount);
  std::copy(viewports, viewports + count, pViewports);
  for (UINT index = count; index < *pNumViewports; ++index) pViewports[index] = {};
  *pNumViewports = count;
}

// ---- drawing and clears ---------------------------------------------------------------------

uint64_t SoftContext::rasterizeDepthCopy(UINT drawCount, UINT drawStart, std::string& problem) {
  auto* vs = soft<SoftVertexShader>(vertexShader.get());
  auto* ps = soft<SoftPixelShader>(pixelShader.get());
  if (!vs || !ps) {
    problem = "no vertex or pixel shader bound";
    return 0;
  }
  if (vs->program() != ShaderProgram::DepthCopyVertex || ps->program() != ShaderProgram::DepthCopyPixel) {
    problem = "pipeline not supported";
    return 0;
  }
  if (topology != D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST && topology != D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP) {
    problem = "primitive topology not supported";
    return 0;
  }
  if (viewportCount == 0) {
    problem = "no viewport";
    return 0;
  }
  auto* dsv = soft<SoftDepthStencilView>(depthStencil.get());
  if (!dsv) {
    problem = "no depth-stencil view: the pixel program writes only depth";
    return 0;
  }
  auto* dss = soft<SoftDepthStencilState>(depthState.get());
  auto* rs = soft<SoftRasterizerState>(rasterizerState.get());
  const D3D11_DEPTH_STENCIL_DESC depthDesc = dss ? dss->desc() : defaultDepthState();
  const D3D11_RASTERIZER_DESC rasterDesc = rs ? rs->desc() : defaultRasterizerState();
  if (rasterDesc.FillMode != D3D11_FILL_SOLID) {
    problem = "wireframe not supported";
    return 0;
  }
  if (depthDesc.StencilEnable) problem = "stencil test not supported: ignored; ";

  auto* srv = soft<SoftShaderResourceView>(pixelResources[0].get());
  const UINT srvSubresource = srv ? srv->subresource() : 0;
  SoftTexture* input = srv ? srv->texture() : nullptr;
  float probe;
  if (input && !loadRed(srv->desc().Format, input->texel(srvSubresource, 0, 0), probe)) {
    problem += "input format not readable: loads give 0; ";
    input = nullptr;
  }

  SoftTexture* target = dsv->texture();
  const UINT targetSubresource = dsv->subresources().front();
  const DXGI_FORMAT targetFormat = dsv->desc().Format;
  const bool writes = depthDesc.DepthEnable && depthDesc.DepthWriteMask == D3D11_DEPTH_WRITE_MASK_ALL &&
                      !(dsv->desc().Flags & D3D11_DSV_READ_ONLY_DEPTH);
  const D3D11_VIEWPORT& vp = viewports[0];
  const float minDepth = std::min(vp.MinDepth, vp.MaxDepth);
  const float maxDepth = std::max(vp.MinDepth, vp.MaxDepth);

  // Pixels whose centres lie in the viewport, within the target.
  const auto firstPixel = [](float start) { return std::ceil(start - 0.5f); };
  const long x0 = std::max(0L, static_cast<long>(firstPixel(vp.TopLeftX)));
  const long y0 = std::max(0L, static_cast<long>(firstPixel(vp.TopLeftY)));
  const long x1 = std::min<long>(target->width(targetSubresource), static_cast<long>(firstPixel(vp.TopLeftX + vp.Width)));
  const long y1 = std::min<long>(target->height(targetSubresource), static_cast<long>(firstPixel(vp.TopLeftY + vp.Height)));

  // Read once: the pixel loop below runs for every texel of the viewport.
  const UINT inputWidth = input ? input->width(srvSubresource) : 0;
  const UINT inputHeight = input ? input->height(srvSubresource) : 0;
  const DXGI_FORMAT inputFormat = srv ? srv->desc().Format : DXGI_FORMAT_UNKNOWN;

  uint64_t written = 0;
  auto drawTriangle = [&](UINT i0, UINT i1, UINT i2) {
    Point points[3];
    const UINT ids[3] = {i0, i1, i2};
    int outsideDepth = 0;
    for (int k = 0; k < 3; ++k) {
      float clip[4];
      depthCopyVertex(ids[k], clip);
      if (clip[2] < 0.0f || clip[2] > clip[3]) ++outsideDepth;
      points[k] = {vp.TopLeftX + (clip[0] / clip[3] + 1.0f) * 0.5f * vp.Width,
                   vp.TopLeftY + (1.0f - clip[1] / clip[3]) * 0.5f * vp.Height,
                   vp.MinDepth + clip[2] / clip[3] * (vp.MaxDepth - vp.MinDepth)};
    }
    if (rasterDesc.DepthClipEnable && outsideDepth == 3) return;
    const float area = edge(points[0], points[1], points[2].x, points[2].y);
    if (area == 0.0f) return;
    const bool clockwise = area > 0.0f;
    const bool front = rasterDesc.FrontCounterClockwise ? !clockwise : clockwise;
    if ((rasterDesc.CullMode == D3D11_CULL_FRONT && front) || (rasterDesc.CullMode == D3D11_CULL_BACK && !front)) return;
    if (!clockwise) std::swap(points[1], points[2]);
    const Point& a = points[0];
    const Point& b = points[1];
    const Point& c = points[2];
    const bool tlA = topLeft(b, c), tlB = topLeft(c, a), tlC = topLeft(a, b);
    for (long y = y0; y < y1; ++y) {
      for (long x = x0; x < x1; ++x) {
        const float cx = static_cast<float>(x) + 0.5f;
        const float cy = static_cast<float>(y) + 0.5f;
        if (!covers(edge(b, c, cx, cy), tlA) || !covers(edge(c, a, cx, cy), tlB) || !covers(edge(a, b, cx, cy), tlC))
          continue;
        // The pixel program: the input texel at the pixel's own coordinates, as depth.
        const UINT u = static_cast<UINT>(cx - 0.5f);
        const UINT v = static_cast<UINT>(cy - 0.5f);
        float depth = 0.0f;
        if (u < inputWidth && v < inputHeight) loadRed(inputFormat, input->texel(srvSubresource, u, v), depth);
        depth = std::clamp(depth, minDepth, maxDepth);
        if (!depthDesc.DepthEnable) continue;
        uint8_t* texel = target->texel(targetSubresource, static_cast<UINT>(x), static_cast<UINT>(y));
        float stored = 0.0f;
        loadDepth(targetFormat, texel, stored);
        if (!compare(depthDesc.DepthFunc, depth, stored) || !writes) continue;
        storeDepth(targetFormat, texel, &depth, nullptr);
        ++written;
      }
    }
  };

  if (topology == D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST) {
    for (UINT i = 0; i + 2 < drawCount; i += 3) drawTriangle(drawStart + i, drawStart + i + 1, drawStart + i + 2);
  } else {
    for (UINT i = 0; i + 2 < drawCount; ++i) {
      if (i % 2 == 0)
        drawTriangle(drawStart + i, drawStart + i + 1, drawStart + i + 2);
      else
        drawTriangle(drawStart + i + 1, drawStart + i, drawStart + i + 2);
    }
  }
  return written;
}

void SoftContext::Draw(UINT VertexCount, UINT StartVertexLocation) {
  const CallTimer timer;
  std::string problem;
  const uint64_t written = rasterizeDepthCopy(VertexCount, StartVertexLocation, problem);
  device()->record(make("Draw", {}, {double(VertexCount), double(StartVertexLocation), double(written)}, problem));
}

void SoftContext::ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView, const FLOAT ColorRGBA[4]) {
  const CallTimer timer;
  std::string problem;
  auto* view = soft<SoftRenderTargetView>(pRenderTargetView);
  if (!view || view->device() != device()) {
    problem = "not a render target view of this device";
  } else {
    uint8_t texel[16];
    if (!encodeColour(view->desc().Format, ColorRGBA, texel)) {
      problem = "clear not supported for this format";
    } else {
      SoftTexture* texture = view->texture();
      for (UINT index : view->subresources())
        for (UINT y = 0; y < texture->height(index); ++y)
          for (UINT x = 0; x < texture->width(index); ++x)
            std::memcpy(texture->texel(index, x, y), texel, texture->texelBytes());
    }
  }
  device()->record(make("ClearRenderTargetView", {pRenderTargetView},
                        {ColorRGBA[0], ColorRGBA[1], ColorRGBA[2], ColorRGBA[3]}, problem));
}

void SoftContext::ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags, FLOAT Depth,
                                        UINT8 Stencil) {
  const CallTimer timer;
  std::string problem;
  auto* view = soft<SoftDepthStencilView>(pDepthStencilView);
  if (!view || view->device() != device()) {
    problem = "not a depth-stencil view of this device";
  } else {
    SoftTexture* texture = view->texture();
    const float* depth = (ClearFlags & D3D11_CLEAR_DEPTH) ? &Depth : nullptr;
    const UINT8* stencil = (ClearFlags & D3D11_CLEAR_STENCIL) ? &Stencil : nullptr;
    for (UINT index : view->subresources())
      for (UINT y = 0; y < texture->height(index); ++y)
        for (UINT x = 0; x < texture->width(index); ++x)
          storeDepth(view->desc().Format, texture->texel(index, x, y), depth, stencil);
  }
  device()->record(
      make("ClearDepthStencilView", {pDepthStencilView}, {double(ClearFlags), double(Depth), double(Stencil)}, problem));
}

void SoftContext::ClearState() {
  const CallTimer timer;
  unbindAll();
  device()->record(make("ClearState", {}, {}));
}

void SoftContext::Flush() {
  const CallTimer timer;
  device()->record(make("Flush", {}, {}));
}

}  // namespace ZerinSim::Gfx::Soft
