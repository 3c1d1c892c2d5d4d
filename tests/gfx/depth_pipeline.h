#pragma once
// The depth-copy pass as the render code runs it, for tests of the device underneath: both
// programs compiled from the one source, the two states, and the draw into a depth target.
#include <d3dcompiler.h>

#include <string>

#include "gfx_test_util.h"
#include "render/shaders/depth_copy_shader.h"

namespace GfxTest {

constexpr const char* kDepthCopySource = Zerin::kDepthCopyShaderSource;
constexpr size_t kDepthCopySourceSize = Zerin::kDepthCopyShaderSourceSize;

struct CompileResult {
  HRESULT result = E_FAIL;
  Ref<ID3DBlob> code;
  std::string error;  // the error blob's text; empty without one
  bool hasErrorBlob = false;
};
CompileResult compile(const char* source, size_t size, const char* name, const char* entry, const char* target);

struct DepthPipeline {
  Ref<ID3D11VertexShader> vs;
  Ref<ID3D11PixelShader> ps;
  Ref<ID3D11DepthStencilState> depthState;
  Ref<ID3D11RasterizerState> rasterState;
};

D3D11_DEPTH_STENCIL_DESC depthCopyDepthDesc();
D3D11_RASTERIZER_DESC depthCopyRasterDesc();

// Compiles and creates everything; fails the calling test when something is missing.
DepthPipeline makeDepthPipeline(ID3D11Device* device);

Ref<ID3D11ShaderResourceView> depthInputView(ID3D11Device* device, ID3D11Texture2D* engineDepth);
Ref<ID3D11DepthStencilView> depthTargetView(ID3D11Device* device, ID3D11Texture2D* target);

// Binds and draws as the pass does, into `dsv` with a viewport of width x height at (0, 0).
void drawDepthCopy(ID3D11DeviceContext* context, const DepthPipeline& pipeline, ID3D11ShaderResourceView* srv,
                   ID3D11DepthStencilView* dsv, UINT width, UINT height);

}  // namespace GfxTest
