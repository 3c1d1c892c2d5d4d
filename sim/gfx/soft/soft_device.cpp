// The software device: textures in memory, views, shaders and states as objects holding their
// descriptions, and a record of every call.
#include <algorithm>
#include <cstring>

#include "soft_compiler.h"
#include "soft_formats.h"
#include "soft_objects.h"

namespace ZerinSim::Gfx::Soft {
namespace {

// Rows of every subresource start at this alignment, so that code which ignores RowPitch
// reads the wrong texels here as it would on a real device.
constexpr UINT kRowAlignment = 256;

UINT mipCount(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
    ++levels;
  }
  return levels;
}

std::vector<double> depthValues(const D3D11_DEPTH_STENCIL_DESC& desc) {
  std::vector<double> values = {double(desc.DepthEnable),   double(desc.DepthWriteMask),  double(desc.DepthFunc),
                                double(desc.StencilEnable), double(desc.StencilReadMask), double(desc.StencilWriteMask)};
  for (const auto* face : {&desc.FrontFace, &desc.BackFace}) {
    values.push_back(face->StencilFailOp);
    values.push_back(face->StencilDepthFailOp);
    values.push_back(face->StencilPassOp);
    values.push_back(face->StencilFunc);
  }
  return values;
}

std::vector<double> rasterValues(const D3D11_RASTERIZER_DESC& desc) {
  return {double(desc.FillMode),        double(desc.CullMode),          double(desc.FrontCounterClockwise),
          double(desc.DepthBias),       double(desc.DepthBiasClamp),    double(desc.SlopeScaledDepthBias),
          double(desc.DepthClipEnable), double(desc.ScissorEnable),     double(desc.MultisampleEnable),
          double(desc.AntialiasedLineEnable)};
}

// Field by field, so that padding plays no part.
std::string key(const std::vector<double>& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
}

Call make(const char* method, std::vector<const void*> objects, std::vector<double> values, HRESULT result,
          std::string problem = {}) {
  Call call;
  call.method = method;
  call.objects = std::move(objects);
  call.values = std::move(values);
  call.result = result;
  call.problem = std::move(problem);
  return call;
}

// The end every accepted view creation shares: without an out pointer only the check is made
// (S_FALSE, as the real device answers); otherwise the view is made and handed out.
template <class View, class Interface, class Desc>
HRESULT handOutView(SoftDevice* device, const char* method, ID3D11Resource* resource, SoftTexture* texture,
                    const Desc& desc, const std::vector<double>& values, Interface** out) {
  if (!out) {
    device->record(make(method, {resource, nullptr}, values, S_FALSE));
    return S_FALSE;
  }
  auto* view = new View(device, texture, desc);
  view->AddRef();
  *out = view;
  device->record(make(method, {resource, static_cast<Interface*>(view)}, values, S_OK));
  return S_OK;
}

}  // namespace

bool interfaceIn(REFIID riid, std::initializer_list<const IID*> iids) {
  for (const IID* iid : iids)
    if (IsEqualGUID(riid, *iid)) return true;
  return false;
}

// ---- objects --------------------------------------------------------------------------------

SoftTexture::SoftTexture(SoftDevice* owner, const D3D11_TEXTURE2D_DESC& desc, UINT texelBytes)
    : Child(owner), description(desc), bytesPerTexel(texelBytes) {
  const UINT count = subresourceCount();
  storage.resize(count);
  pitches.resize(count);
  mapped.assign(count, false);
  for (UINT index = 0; index < count; ++index) {
    const UINT row = width(index) * bytesPerTexel;
    pitches[index] = (row + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    storage[index].assign(static_cast<size_t>(pitches[index]) * height(index), 0);
  }
}

void SoftTexture::GetType(D3D11_RESOURCE_DIMENSION* dimension) { *dimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D; }

void SoftTexture::GetDesc(D3D11_TEXTURE2D_DESC* pDesc) { *pDesc = description; }

UINT SoftTexture::width(UINT subresource) const { return std::max(1u, description.Width >> mipOf(subresource)); }

UINT SoftTexture::height(UINT subresource) const { return std::max(1u, description.Height >> mipOf(subresource)); }

UINT SoftTexture::rowPitch(UINT subresource) const { return pitches[subresource]; }

uint8_t* SoftTexture::texel(UINT subresource, UINT x, UINT y) {
  return storage[subresource].data() + static_cast<size_t>(y) * pitches[subresource] +
         static_cast<size_t>(x) * bytesPerTexel;
}

bool SoftTexture::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11Resource, &IID_ID3D11Texture2D});
}

UINT SoftShaderResourceView::subresource() const {
  const auto& view = desc();
  const UINT mips = texture()->desc().MipLevels;
  if (view.ViewDimension == D3D11_SRV_DIMENSION_TEXTURE2DARRAY)
    return D3D11CalcSubresource(view.Texture2DArray.MostDetailedMip, view.Texture2DArray.FirstArraySlice, mips);
  return D3D11CalcSubresource(view.Texture2D.MostDetailedMip, 0, mips);
}

bool SoftShaderResourceView::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11View, &IID_ID3D11ShaderResourceView});
}

std::vector<UINT> SoftRenderTargetView::subresources() const {
  const auto& view = desc();
  const UINT mips = texture()->desc().MipLevels;
  std::vector<UINT> list;
  if (view.ViewDimension == D3D11_RTV_DIMENSION_TEXTURE2DARRAY) {
    for (UINT slice = 0; slice < view.Texture2DArray.ArraySize; ++slice)
      list.push_back(D3D11CalcSubresource(view.Texture2DArray.MipSlice, view.Texture2DArray.FirstArraySlice + slice, mips));
  } else {
    list.push_back(D3D11CalcSubresource(view.Texture2D.MipSlice, 0, mips));
  }
  return list;
}

bool SoftRenderTargetView::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11View, &IID_ID3D11RenderTargetView});
}

std::vector<UINT> SoftDepthStencilView::subresources() const {
  const auto& view = desc();
  const UINT mips = texture()->desc().MipLevels;
  std::vector<UINT> list;
  if (view.ViewDimension == D3D11_DSV_DIMENSION_TEXTURE2DARRAY) {
    for (UINT slice = 0; slice < view.Texture2DArray.ArraySize; ++slice)
      list.push_back(D3D11CalcSubresource(view.Texture2DArray.MipSlice, view.Texture2DArray.FirstArraySlice + slice, mips));
  } else {
    list.push_back(D3D11CalcSubresource(view.Texture2D.MipSlice, 0, mips));
  }
  return list;
}

bool SoftDepthStencilView::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11View, &IID_ID3D11DepthStencilView});
}

bool SoftVertexShader::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11VertexShader});
}

bool SoftPixelShader::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11PixelShader});
}

bool SoftDepthStencilState::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11DepthStencilState});
}

Deferred SoftDepthStencilState::onLastReference() {
  device()->forgetDepthStencilState(this);
  return Child::onLastReference();
}

bool SoftRasterizerState::implements(REFIID riid) const {
  return interfaceIn(riid, {&IID_ID3D11DeviceChild, &IID_ID3D11RasterizerState});
}

Deferred SoftRasterizerState::onLastReference() {
  device()->forgetRasterizerState(this);
  return Child::onLastReference();
}

// ---- device ---------------------------------------------------------------------------------

SoftDevice::SoftDevice(D3D_FEATURE_LEVEL level)
    : featureLevel(level), bareCalls(bareDevices()), context(bareCalls ? newBareContext(this) : new SoftContext(this)) {}

SoftDevice::~SoftDevice() {
  // The last reference is gone, so only the pipeline still holds objects.
  context->unbindAll();
  delete context;
}

bool SoftDevice::implements(REFIID riid) const { return interfaceIn(riid, {&IID_ID3D11Device}); }

void SoftDevice::record(Call call) {
  if (bareCalls) return;
  std::lock_guard<std::mutex> lock(logLock);
  ++counts[call.method];
  log.push_back(std::move(call));
  if (log.size() > kKeptCalls) log.pop_front();
}

std::vector<Call> SoftDevice::calls() const {
  std::lock_guard<std::mutex> lock(logLock);
  return {log.begin(), log.end()};
}

size_t SoftDevice::callCount(const std::string& method) const {
  std::lock_guard<std::mutex> lock(logLock);
  const auto found = counts.find(method);
  return found == counts.end() ? 0 : found->second;
}

void SoftDevice::clearCalls() {
  std::lock_guard<std::mutex> lock(logLock);
  log.clear();
  counts.clear();
}

HRESULT SoftDevice::CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                    ID3D11Texture2D** ppTexture2D) {
  const CallTimer timer;
  auto refuse = [&](const char* why) {
    std::vector<double> values;
    if (pDesc)
      values = {double(pDesc->Width), double(pDesc->Height), double(pDesc->MipLevels), double(pDesc->ArraySize),
                double(pDesc->Format), double(pDesc->Usage), double(pDesc->BindFlags), double(pDesc->CPUAccessFlags),
                double(pDesc->MiscFlags), pInitialData ? 1.0 : 0.0};
    record(make("CreateTexture2D", {nullptr}, values, E_INVALIDARG, why));
    if (ppTexture2D) *ppTexture2D = nullptr;
    return E_INVALIDARG;
  };
  if (!pDesc) return refuse("no description");
  D3D11_TEXTURE2D_DESC desc = *pDesc;
  const FormatInfo* format = formatInfo(desc.Format);
  if (!format || !format->resource) return refuse("unsupported texture format");
  if (desc.Width == 0 || desc.Height == 0 || desc.Width > 16384 || desc.Height > 16384)
    return refuse("size out of range");
  if (desc.ArraySize == 0 || desc.ArraySize > 2048) return refuse("array size out of range");
  if (desc.SampleDesc.Count != 1 || desc.SampleDesc.Quality != 0) return refuse("multisampling not supported");
  const UINT fullChain = mipCount(desc.Width, desc.Height);
  if (desc.MipLevels == 0) desc.MipLevels = fullChain;
  if (desc.MipLevels > fullChain) return refuse("too many mip levels");
  const UINT bind = desc.BindFlags;
  if (bind & ~UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET | D3D11_BIND_DEPTH_STENCIL))
    return refuse("bind flags not supported for textures");
  if ((bind & D3D11_BIND_DEPTH_STENCIL) && (!canBindDepthStencil(desc.Format) || (bind & D3D11_BIND_RENDER_TARGET)))
    return refuse("format cannot be bound as depth-stencil");
  if (format->depth && (bind & (D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET)))
    return refuse("a depth format can only be bound as depth-stencil");
  const UINT cpu = desc.CPUAccessFlags;
  switch (desc.Usage) {
    case D3D11_USAGE_DEFAULT:
      if (cpu) return refuse("default usage allows no CPU access");
      break;
    case D3D11_USAGE_IMMUTABLE:
      if (cpu || !pInitialData) return refuse("immutable textures need initial data and no CPU access");
      break;
    case D3D11_USAGE_DYNAMIC:
      if (cpu != D3D11_CPU_ACCESS_WRITE || desc.MipLevels != 1 || desc.ArraySize != 1 ||
          (bind & (D3D11_BIND_RENDER_TARGET | D3D11_BIND_DEPTH_STENCIL)))
        return refuse("dynamic textures are single, CPU-written shader resources");
      break;
    case D3D11_USAGE_STAGING:
      if (bind || !(cpu & (D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE)))
        return refuse("staging textures need CPU access and no bind flags");
      break;
    default:
      return refuse("unknown usage");
  }
  if (cpu & ~UINT(D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE)) return refuse("unknown CPU access flags");
  if (pInitialData) {
    for (UINT index = 0; index < desc.MipLevels * desc.ArraySize; ++index)
      if (!pInitialData[index].pSysMem) return refuse("initial data without memory");
  }
  if (!ppTexture2D) {
    record(make("CreateTexture2D", {nullptr}, {}, S_FALSE));
    return S_FALSE;
  }

  auto* texture = new SoftTexture(this, desc, format->bytes);
  texture->AddRef();
  if (pInitialData) {
    for (UINT index = 0; index < texture->subresourceCount(); ++index) {
      const auto& source = pInitialData[index];
      const size_t row = static_cast<size_t>(texture->width(index)) * format->bytes;
      const size_t pitch = source.SysMemPitch ? source.SysMemPitch : row;
      for (UINT y = 0; y < texture->height(index); ++y)
        std::memcpy(texture->texel(index, 0, y), static_cast<const uint8_t*>(source.pSysMem) + y * pitch, row);
    }
  }
  *ppTexture2D = texture;
  record(make("CreateTexture2D", {static_cast<ID3D11Texture2D*>(texture)},
              {double(desc.Width), double(desc.Height), double(desc.MipLevels), double(desc.ArraySize),
               double(desc.Format), double(desc.Usage), double(desc.BindFlags), double(desc.CPUAccessFlags),
               double(desc.MiscFlags), pInitialData ? 1.0 : 0.0},
              S_OK));
  return S_OK;
}

HRESULT SoftDevice::CreateShaderResourceView(ID3D11Resource* pResource, const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                             ID3D11ShaderResourceView** ppSRView) {
  const CallTimer timer;
  std::vector<double> values;
  if (pDesc)
    values = {double(pDesc->Format), double(pDesc->ViewDimension), double(pDesc->Texture2D.MostDetailedMip),
              double(pDesc->Texture2D.MipLevels)};
  auto refuse = [&](const char* why) {
    record(make("CreateShaderResourceView", {pResource, nullptr}, values, E_INVALIDARG, why));
    if (ppSRView) *ppSRView = nullptr;
    return E_INVALIDARG;
  };
  auto* texture = soft<SoftTexture>(pResource);
  if (!texture) return refuse("not a texture of this device");
  if (texture->device() != this) return refuse("texture of another device");
  const auto& source = texture->desc();
  if (!(source.BindFlags & D3D11_BIND_SHADER_RESOURCE)) return refuse("texture not bindable as shader resource");
  D3D11_SHADER_RESOURCE_VIEW_DESC desc{};
  if (pDesc) {
    desc = *pDesc;
  } else {
    desc.Format = source.Format;
    desc.ViewDimension = source.ArraySize > 1 ? D3D11_SRV_DIMENSION_TEXTURE2DARRAY : D3D11_SRV_DIMENSION_TEXTURE2D;
    desc.Texture2DArray = {0, source.MipLevels, 0, source.ArraySize};
  }
  const FormatInfo* format = formatInfo(desc.Format);
  if (!format || format->family == desc.Format || format->depth) return refuse("view format must be typed");
  if (!sameFamily(desc.Format, source.Format)) return refuse("view format incompatible with the texture");
  if (desc.ViewDimension == D3D11_SRV_DIMENSION_TEXTURE2D) {
    const UINT mips = desc.Texture2D.MipLevels == UINT(-1) ? source.MipLevels - desc.Texture2D.MostDetailedMip
                                                          : desc.Texture2D.MipLevels;
    if (desc.Texture2D.MostDetailedMip >= source.MipLevels || mips == 0 ||
        desc.Texture2D.MostDetailedMip + mips > source.MipLevels)
      return refuse("mip range outside the texture");
  } else if (desc.ViewDimension == D3D11_SRV_DIMENSION_TEXTURE2DARRAY) {
    const auto& range = desc.Texture2DArray;
    if (range.MostDetailedMip >= source.MipLevels || range.ArraySize == 0 ||
        range.FirstArraySlice + range.ArraySize > source.ArraySize)
      return refuse("range outside the texture");
  } else {
    return refuse("view dimension not supported");
  }
  return handOutView<SoftShaderResourceView>(this, "CreateShaderResourceView", pResource, texture, desc, values, ppSRView);
}

HRESULT SoftDevice::CreateRenderTargetView(ID3D11Resource* pResource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                           ID3D11RenderTargetView** ppRTView) {
  const CallTimer timer;
  std::vector<double> values;
  if (pDesc) values = {double(pDesc->Format), double(pDesc->ViewDimension), double(pDesc->Texture2D.MipSlice)};
  auto refuse = [&](const char* why) {
    record(make("CreateRenderTargetView", {pResource, nullptr}, values, E_INVALIDARG, why));
    if (ppRTView) *ppRTView = nullptr;
    return E_INVALIDARG;
  };
  auto* texture = soft<SoftTexture>(pResource);
  if (!texture) return refuse("not a texture of this device");
  if (texture->device() != this) return refuse("texture of another device");
  const auto& source = texture->desc();
  if (!(source.BindFlags & D3D11_BIND_RENDER_TARGET)) return refuse("texture not bindable as render target");
  D3D11_RENDER_TARGET_VIEW_DESC desc{};
  if (pDesc) {
    desc = *pDesc;
  } else {
    desc.Format = source.Format;
    desc.ViewDimension = source.ArraySize > 1 ? D3D11_RTV_DIMENSION_TEXTURE2DARRAY : D3D11_RTV_DIMENSION_TEXTURE2D;
    desc.Texture2DArray = {0, 0, source.ArraySize};
  }
  const FormatInfo* format = formatInfo(desc.Format);
  if (!format || format->family == desc.Format) return refuse("view format must be typed");
  if (!sameFamily(desc.Format, source.Format)) return refuse("view format incompatible with the texture");
  if (desc.ViewDimension == D3D11_RTV_DIMENSION_TEXTURE2D) {
    if (desc.Texture2D.MipSlice >= source.MipLevels) return refuse("mip outside the texture");
  } else if (desc.ViewDimension == D3D11_RTV_DIMENSION_TEXTURE2DARRAY) {
    const auto& range = desc.Texture2DArray;
    if (range.MipSlice >= source.MipLevels || range.ArraySize == 0 ||
        range.FirstArraySlice + range.ArraySize > source.ArraySize)
      return refuse("range outside the texture");
  } else {
    return refuse("view dimension not supported");
  }
  return handOutView<SoftRenderTargetView>(this, "CreateRenderTargetView", pResource, texture, desc, values, ppRTView);
}

HRESULT SoftDevice::CreateDepthStencilView(ID3D11Resource* pResource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                           ID3D11DepthStencilView** ppDepthStencilView) {
  const CallTimer timer;
  std::vector<double> values;
  if (pDesc)
    values = {double(pDesc->Format), double(pDesc->ViewDimension), double(pDesc->Flags),
              double(pDesc->Texture2D.MipSlice)};
  auto refuse = [&](const char* why) {
    record(make("CreateDepthStencilView", {pResource, nullptr}, values, E_INVALIDARG, why));
    if (ppDepthStencilView) *ppDepthStencilView = nullptr;
    return E_INVALIDARG;
  };
  auto* texture = soft<SoftTexture>(pResource);
  if (!texture) return refuse("not a texture of this device");
  if (texture->device() != this) return refuse("texture of another device");
  const auto& source = texture->desc();
  if (!(source.BindFlags & D3D11_BIND_DEPTH_STENCIL)) return refuse("texture not bindable as depth-stencil");
  D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
  if (pDesc) {
    desc = *pDesc;
  } else {
    desc.Format = source.Format;
    desc.ViewDimension = source.ArraySize > 1 ? D3D11_DSV_DIMENSION_TEXTURE2DARRAY : D3D11_DSV_DIMENSION_TEXTURE2D;
    desc.Texture2DArray = {0, 0, source.ArraySize};
  }
  const FormatInfo* format = formatInfo(desc.Format);
  if (!format || !format->depth) return refuse("view format must be a depth format");
  if (!sameFamily(desc.Format, source.Format)) return refuse("view format incompatible with the texture");
  if (desc.Flags & ~UINT(D3D11_DSV_READ_ONLY_DEPTH | D3D11_DSV_READ_ONLY_STENCIL)) return refuse("unknown flags");
  if (desc.ViewDimension == D3D11_DSV_DIMENSION_TEXTURE2D) {
    if (desc.Texture2D.MipSlice >= source.MipLevels) return refuse("mip outside the texture");
  } else if (desc.ViewDimension == D3D11_DSV_DIMENSION_TEXTURE2DARRAY) {
    const auto& range = desc.Texture2DArray;
    if (range.MipSlice >= source.MipLevels || range.ArraySize == 0 ||
        range.FirstArraySlice + range.ArraySize > source.ArraySize)
      return refuse("range outside the texture");
  } else {
    return refuse("view dimension not supported");
  }
  return handOutView<SoftDepthStencilView>(this, "CreateDepthStencilView", pResource, texture, desc, values, ppDepthStencilView);
}

HRESULT SoftDevice::CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                       ID3D11ClassLinkage* pClassLinkage, ID3D11VertexShader** ppVertexShader) {
  const CallTimer timer;
  ShaderProgram program;
  if (!decodeBytecode(pShaderBytecode, BytecodeLength, program) || program != ShaderProgram::DepthCopyVertex) {
    record(make("CreateVertexShader", {nullptr, pClassLinkage}, {double(BytecodeLength)}, E_INVALIDARG,
                "not vertex shader bytecode"));
    if (ppVertexShader) *ppVertexShader = nullptr;
    return E_INVALIDARG;
  }
  if (!ppVertexShader) {
    record(make("CreateVertexShader", {nullptr, pClassLinkage}, {double(BytecodeLength)}, S_FALSE));
    return S_FALSE;
  }
  auto* shader = new SoftVertexShader(this, program);
  shader->AddRef();
  *ppVertexShader = shader;
  record(make("CreateVertexShader", {static_cast<ID3D11VertexShader*>(shader), pClassLinkage},
              {double(BytecodeLength)}, S_OK));
  return S_OK;
}

HRESULT SoftDevice::CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                      ID3D11ClassLinkage* pClassLinkage, ID3D11PixelShader** ppPixelShader) {
  const CallTimer timer;
  ShaderProgram program;
  if (!decodeBytecode(pShaderBytecode, BytecodeLength, program) || program != ShaderProgram::DepthCopyPixel) {
    record(make("CreatePixelShader", {nullptr, pClassLinkage}, {double(BytecodeLength)}, E_INVALIDARG,
                "not pixel shader bytecode"));
    if (ppPixelShader) *ppPixelShader = nullptr;
    return E_INVALIDARG;
  }
  if (!ppPixelShader) {
    record(make("CreatePixelShader", {nullptr, pClassLinkage}, {double(BytecodeLength)}, S_FALSE));
    return S_FALSE;
  }
  auto* shader = new SoftPixelShader(this, program);
  shader->AddRef();
  *ppPixelShader = shader;
  record(make("CreatePixelShader", {static_cast<ID3D11PixelShader*>(shader), pClassLinkage},
              {double(BytecodeLength)}, S_OK));
  return S_OK;
}

namespace {

bool validComparison(D3D11_COMPARISON_FUNC func) {
  return func >= D3D11_COMPARISON_NEVER && func <= D3D11_COMPARISON_ALWAYS;
}

bool validStencilOps(const D3D11_DEPTH_STENCILOP_DESC& ops) {
  auto op = [](D3D11_STENCIL_OP value) { return value >= D3D11_STENCIL_OP_KEEP && value <= D3D11_STENCIL_OP_DECR; };
  return op(ops.StencilFailOp) && op(ops.StencilDepthFailOp) && op(ops.StencilPassOp) && validComparison(ops.StencilFunc);
}

}  // namespace

HRESULT SoftDevice::CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* pDesc,
                                            ID3D11DepthStencilState** ppDepthStencilState) {
  const CallTimer timer;
  std::vector<double> values;
  if (pDesc) values = depthValues(*pDesc);
  auto refuse = [&](const char* why) {
    record(make("CreateDepthStencilState", {nullptr}, values, E_INVALIDARG, why));
    if (ppDepthStencilState) *ppDepthStencilState = nullptr;
    return E_INVALIDARG;
  };
  if (!pDesc) return refuse("no description");
  // The system checks the stencil operations only when stencil is enabled.
  if ((pDesc->DepthWriteMask != D3D11_DEPTH_WRITE_MASK_ZERO && pDesc->DepthWriteMask != D3D11_DEPTH_WRITE_MASK_ALL) ||
      (pDesc->DepthEnable && !validComparison(pDesc->DepthFunc)) ||
      (pDesc->StencilEnable && (!validStencilOps(pDesc->FrontFace) || !validStencilOps(pDesc->BackFace))))
    return refuse("invalid description");
  if (!ppDepthStencilState) {
    record(make("CreateDepthStencilState", {nullptr}, values, S_FALSE));
    return S_FALSE;
  }
  SoftDepthStencilState* state;
  {
    std::lock_guard<std::mutex> lock(stateLock);
    auto& slot = depthStates[key(values)];
    if (slot) {
      slot->AddRef();
    } else {
      slot = new SoftDepthStencilState(this, *pDesc);
      slot->AddRef();
    }
    state = slot;
  }
  *ppDepthStencilState = state;
  record(make("CreateDepthStencilState", {static_cast<ID3D11DepthStencilState*>(state)}, values, S_OK));
  return S_OK;
}

HRESULT SoftDevice::CreateRasterizerState(const D3D11_RASTERIZER_DESC* pDesc,
                                          ID3D11RasterizerState** ppRasterizerState) {
  const CallTimer timer;
  std::vector<double> values;
  if (pDesc) values = rasterValues(*pDesc);
  auto refuse = [&](const char* why) {
    record(make("CreateRasterizerState", {nullptr}, values, E_INVALIDARG, why));
    if (ppRasterizerState) *ppRasterizerState = nullptr;
    return E_INVALIDARG;
  };
  if (!pDesc) return refuse("no description");
  if ((pDesc->FillMode != D3D11_FILL_SOLID && pDesc->FillMode != D3D11_FILL_WIREFRAME) ||
      pDesc->CullMode < D3D11_CULL_NONE || pDesc->CullMode > D3D11_CULL_BACK)
    return refuse("invalid description");
  if (!ppRasterizerState) {
    record(make("CreateRasterizerState", {nullptr}, values, S_FALSE));
    return S_FALSE;
  }
  SoftRasterizerState* state;
  {
    std::lock_guard<std::mutex> lock(stateLock);
    auto& slot = rasterizerStates[key(values)];
    if (slot) {
      slot->AddRef();
    } else {
      slot = new SoftRasterizerState(this, *pDesc);
      slot->AddRef();
    }
    state = slot;
  }
  *ppRasterizerState = state;
  record(make("CreateRasterizerState", {static_cast<ID3D11RasterizerState*>(state)}, values, S_OK));
  return S_OK;
}

void SoftDevice::forgetDepthStencilState(SoftDepthStencilState* state) {
  std::lock_guard<std::mutex> lock(stateLock);
  const auto found = depthStates.find(key(depthValues(state->desc())));
  if (found != depthStates.end() && found->second == state) depthStates.erase(found);
}

void SoftDevice::forgetRasterizerState(SoftRasterizerState* state) {
  std::lock_guard<std::mutex> lock(stateLock);
  const auto found = rasterizerStates.find(key(rasterValues(state->desc())));
  if (found != rasterizerStates.end() && found->second == state) rasterizerStates.erase(found);
}

void SoftDevice::GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) {
  const CallTimer timer;
  context->AddRef();
  *ppImmediateContext = context;
  if (!bareCalls) record(make("GetImmediateContext", {static_cast<ID3D11DeviceContext*>(context)}, {}, S_OK));
}

}  // namespace ZerinSim::Gfx::Soft
