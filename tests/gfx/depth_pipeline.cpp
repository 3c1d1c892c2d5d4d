#include "depth_pipeline.h"

namespace GfxTest {

CompileResult compile(const char* source, size_t size, const char* name, const char* entry, const char* target) {
  CompileResult out;
  Ref<ID3DBlob> errors;
  out.result = D3DCompile(source, size, name, nullptr, nullptr, entry, target, 0, 0, out.code.put(), errors.put());
  if (errors) {
    out.hasErrorBlob = true;
    out.error.assign(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
    while (!out.error.empty() && out.error.back() == '\0') out.error.pop_back();
  }
  return out;
}

D3D11_DEPTH_STENCIL_DESC depthCopyDepthDesc() {
  D3D11_DEPTH_STENCIL_DESC desc{};
  desc.DepthEnable = TRUE;
  desc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
  desc.DepthFunc = D3D11_COMPARISON_ALWAYS;
  return desc;
}

D3D11_RASTERIZER_DESC depthCopyRasterDesc() {
  D3D11_RASTERIZER_DESC desc{};
  desc.FillMode = D3D11_FILL_SOLID;
  desc.CullMode = D3D11_CULL_NONE;
  desc.DepthClipEnable = TRUE;
  desc.MultisampleEnable = TRUE;
  return desc;
}

DepthPipeline makeDepthPipeline(ID3D11Device* device) {
  DepthPipeline pipeline;
  const CompileResult vs = compile(kDepthCopySource, kDepthCopySourceSize, "VS", "VS", "vs_5_0");
  const CompileResult ps = compile(kDepthCopySource, kDepthCopySourceSize, "PS", "PS", "ps_5_0");
  EXPECT_EQ(vs.result, S_OK) << vs.error;
  EXPECT_EQ(ps.result, S_OK) << ps.error;
  if (FAILED(vs.result) || FAILED(ps.result)) return pipeline;
  EXPECT_EQ(device->CreateVertexShader(vs.code->GetBufferPointer(), vs.code->GetBufferSize(), nullptr,
                                       pipeline.vs.put()),
            S_OK);
  EXPECT_EQ(device->CreatePixelShader(ps.code->GetBufferPointer(), ps.code->GetBufferSize(), nullptr,
                                      pipeline.ps.put()),
            S_OK);
  const D3D11_DEPTH_STENCIL_DESC depthDesc = depthCopyDepthDesc();
  const D3D11_RASTERIZER_DESC rasterDesc = depthCopyRasterDesc();
  EXPECT_EQ(device->CreateDepthStencilState(&depthDesc, pipeline.depthState.put()), S_OK);
  EXPECT_EQ(device->CreateRasterizerState(&rasterDesc, pipeline.rasterState.put()), S_OK);
  return pipeline;
}

Ref<ID3D11ShaderResourceView> depthInputView(ID3D11Device* device, ID3D11Texture2D* engineDepth) {
  D3D11_SHADER_RESOURCE_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS;
  desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  desc.Texture2D.MostDetailedMip = 0;
  desc.Texture2D.MipLevels = 1;
  Ref<ID3D11ShaderResourceView> view;
  EXPECT_EQ(device->CreateShaderResourceView(engineDepth, &desc, view.put()), S_OK);
  return view;
}

Ref<ID3D11DepthStencilView> depthTargetView(ID3D11Device* device, ID3D11Texture2D* target) {
  D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_D32_FLOAT;
  desc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  desc.Flags = 0;
  desc.Texture2D.MipSlice = 0;
  Ref<ID3D11DepthStencilView> view;
  EXPECT_EQ(device->CreateDepthStencilView(target, &desc, view.put()), S_OK);
  return view;
}

void drawDepthCopy(ID3D11DeviceContext* context, const DepthPipeline& pipeline, ID3D11ShaderResourceView* srv,
                   ID3D11DepthStencilView* dsv, UINT width, UINT height) {
  context->IASetVertexBuffers(0, 0, nullptr, nullptr, nullptr);
  context->IASetIndexBuffer(nullptr, DXGI_FORMAT_UNKNOWN, 0);
  context->IASetInputLayout(nullptr);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  context->VSSetShader(pipeline.vs.get(), nullptr, 0);
  context->PSSetShader(pipeline.ps.get(), nullptr, 0);
  context->PSSetShaderResources(0, 1, &srv);
  context->OMSetRenderTargets(0, nullptr, dsv);
  context->OMSetDepthStencilState(pipeline.depthState.get(), 0);
  context->OMSetBlendState(nullptr, nullptr, 0xffffffffu);
  context->RSSetState(pipeline.rasterState.get());
  const D3D11_VIEWPORT viewport = {0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f, 1.0f};
  context->RSSetViewports(1, &viewport);
  context->Draw(3, 0);
}

}  // namespace GfxTest
