#include "render/depth_copy_pass.h"

#include <d3dcompiler.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/debug_output.h"
#include "render/depth_copy_objects.h"

namespace Zerin {

namespace {

template <class Object>
void release(Object*& object) {
  if (object) object->Release();
  object = nullptr;
}

// Compiles one stage of the source; null on failure, after telling the debugger output why.
ID3DBlob* compileStage(const char* entryPoint, const char* target) {
  ID3DBlob* code = nullptr;
  ID3DBlob* errors = nullptr;
  // The entry point doubles as the source name, so compiler messages name the stage.
  const HRESULT result = D3DCompile(kDepthCopyShaderSource, kDepthCopyShaderSourceSize, entryPoint, nullptr,
                                    nullptr, entryPoint, target, 0, 0, &code, &errors);
  if (FAILED(result) || !code) {
    if (errors && errors->GetBufferSize() > 0) {
      std::string text(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
      while (!text.empty() && text.back() == '\0') text.pop_back();
      platform::writeDebugOutput(text.c_str());
    } else {
      char line[96];
      std::snprintf(line, sizeof line, "Depth copy shader %s did not compile: error 0x%08lX\n", entryPoint,
                    static_cast<unsigned long>(static_cast<uint32_t>(result)));
      platform::writeDebugOutput(line);
    }
    release(code);
  }
  release(errors);
  return code;
}

void createDepthStencilState(ID3D11Device* device) {
  D3D11_DEPTH_STENCIL_DESC desc{};
  desc.DepthEnable = TRUE;
  desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
  desc.DepthFunc = D3D11_COMPARISON_ALWAYS;
  desc.StencilEnable = FALSE;
  desc.StencilReadMask = 0;
  desc.StencilWriteMask = 0;
  device->CreateDepthStencilState(&desc, &depthCopyDepthState);
}

void createRasterizerState(ID3D11Device* device) {
  D3D11_RASTERIZER_DESC desc{};
  desc.FillMode = D3D11_FILL_SOLID;
  desc.CullMode = D3D11_CULL_NONE;
  desc.FrontCounterClockwise = FALSE;
  desc.DepthBias = 0;
  desc.DepthBiasClamp = 0.0f;
  desc.SlopeScaledDepthBias = 0.0f;
  desc.DepthClipEnable = TRUE;
  desc.ScissorEnable = FALSE;
  desc.MultisampleEnable = TRUE;
  desc.AntialiasedLineEnable = FALSE;
  device->CreateRasterizerState(&desc, &depthCopyRasterState);
}

// Passes between two looks for views of dropped textures, besides the look that a texture new
// to a cache brings (re-created textures show up that way).
constexpr unsigned kPassesBetweenSweeps = 256;
unsigned passesSinceSweep = 0;

ID3D11ShaderResourceView* inputView(ID3D11Device* device, size_t slot, ID3D11Resource* engineDepth) {
  ID3D11ShaderResourceView* view = nullptr;
  if (findDepthInputView(slot, engineDepth, view)) return view;
  releaseDroppedDepthViews();
  D3D11_SHADER_RESOURCE_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS;
  desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  desc.Texture2D.MostDetailedMip = 0;
  desc.Texture2D.MipLevels = 1;
  if (FAILED(device->CreateShaderResourceView(engineDepth, &desc, &view))) release(view);
  // Cached even when null, so a texture that admits no view costs one attempt only.
  cacheDepthInputView(engineDepth, view);
  return view;
}

ID3D11DepthStencilView* targetView(ID3D11Device* device, size_t slot, ID3D11Texture2D* image) {
  ID3D11DepthStencilView* view = nullptr;
  if (findDepthTargetView(slot, image, view)) return view;
  releaseDroppedDepthViews();
  D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_D32_FLOAT;
  desc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  desc.Flags = 0;
  desc.Texture2D.MipSlice = 0;
  if (FAILED(device->CreateDepthStencilView(image, &desc, &view))) release(view);
  cacheDepthTargetView(image, view);
  return view;
}

}  // namespace

void ensureDepthPipeline(ID3D11Device* device) {
  if (depthPipelineReady() || !device) return;
  // Only what is missing is made again, so a retry never drops a reference it holds.
  if (!depthCopyVS) {
    if (ID3DBlob* code = compileStage("VS", "vs_5_0")) {
      device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &depthCopyVS);
      code->Release();
    }
  }
  if (!depthCopyPS) {
    if (ID3DBlob* code = compileStage("PS", "ps_5_0")) {
      device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &depthCopyPS);
      code->Release();
    }
  }
  if (!depthCopyDepthState) createDepthStencilState(device);
  if (!depthCopyRasterState) createRasterizerState(device);
}

bool depthPipelineReady() { return depthCopyVS && depthCopyPS; }

void depthCopyPass(ID3D11Device* device, ID3D11DeviceContext* context, size_t slot, const SubmissionView& view,
                   ID3D11Texture2D* depthTarget, SavedRenderTargets& saved) {
  if (!saved.saved) {
    context->OMGetRenderTargets(1, &saved.renderTarget, &saved.depthStencil);
    saved.saved = true;
  }
  if (++passesSinceSweep >= kPassesBetweenSweeps) {
    passesSinceSweep = 0;
    releaseDroppedDepthViews();
  }

  context->IASetVertexBuffers(0, 0, nullptr, nullptr, nullptr);
  context->IASetIndexBuffer(nullptr, DXGI_FORMAT_UNKNOWN, 0);
  context->IASetInputLayout(nullptr);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  context->VSSetShader(depthCopyVS, nullptr, 0);
  context->PSSetShader(depthCopyPS, nullptr, 0);

  ID3D11ShaderResourceView* input = inputView(device, slot, view.depthTexture);
  ID3D11DepthStencilView* target = targetView(device, slot, depthTarget);
  // The target goes first: the engine's depth texture is usually still bound as the engine's
  // depth target, and a texture bound for output is bound as null for input.
  context->OMSetRenderTargets(0, nullptr, target);
  context->PSSetShaderResources(0, 1, &input);
  context->OMSetDepthStencilState(depthCopyDepthState, 0);
  context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFFu);
  context->RSSetState(depthCopyRasterState);

  D3D11_VIEWPORT viewport{};
  viewport.TopLeftX = 0.0f;
  viewport.TopLeftY = 0.0f;
  viewport.Width = static_cast<float>(view.depthViewport.width);
  viewport.Height = static_cast<float>(view.depthViewport.height);
  viewport.MinDepth = 0.0f;
  viewport.MaxDepth = 1.0f;
  context->RSSetViewports(1, &viewport);
  context->Draw(3, 0);
}

void restoreRenderTargets(ID3D11DeviceContext* context, SavedRenderTargets& saved) {
  if (!saved.saved) return;
  context->OMSetRenderTargets(1, &saved.renderTarget, saved.depthStencil);
  release(saved.renderTarget);
  release(saved.depthStencil);
  saved.saved = false;
}

}  // namespace Zerin
