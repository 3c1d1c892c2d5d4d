#pragma once
// Test controls of the software Direct3D 11 device (Linux builds only; kept apart from the API
// it stands in for). Every device records the calls made on it and on its immediate context.
#include <d3d11.h>

#include <cstddef>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define ZERIN_SOFT_D3D11_API __attribute__((visibility("default")))
#else
#define ZERIN_SOFT_D3D11_API
#endif

namespace ZerinSim::Gfx {

// One call on a device or its immediate context.
struct Call {
  std::string method;                // e.g. "OMSetRenderTargets"
  std::vector<const void*> objects;  // interface pointers passed or returned, in order, nulls included
  std::vector<double> values;        // the other arguments, in order (see the list below)
  HRESULT result = S_OK;             // for calls that return one
  std::string problem;               // why the device ignored or refused the call; empty when it did it
};
// What `objects` and `values` hold:
//   CreateTexture2D           {texture}                {Width, Height, MipLevels, ArraySize, Format, Usage,
//                                                       BindFlags, CPUAccessFlags, MiscFlags, hasInitialData}
//   CreateShaderResourceView  {resource, view}         {Format, ViewDimension, MostDetailedMip, MipLevels} or {} without desc
//   CreateRenderTargetView    {resource, view}         {Format, ViewDimension, MipSlice} or {}
//   CreateDepthStencilView    {resource, view}         {Format, ViewDimension, Flags, MipSlice} or {}
//   CreateVertexShader, CreatePixelShader  {shader, classLinkage}  {BytecodeLength}
//   CreateDepthStencilState   {state}                  {DepthEnable, DepthWriteMask, DepthFunc, StencilEnable,
//                                                       StencilReadMask, StencilWriteMask, then FrontFace and
//                                                       BackFace: FailOp, DepthFailOp, PassOp, Func}
//   CreateRasterizerState     {state}                  {FillMode, CullMode, FrontCounterClockwise, DepthBias,
//                                                       DepthBiasClamp, SlopeScaledDepthBias, DepthClipEnable,
//                                                       ScissorEnable, MultisampleEnable, AntialiasedLineEnable}
//   GetImmediateContext       {context}                {}
//   CopySubresourceRegion     {dst, src}               {DstSubresource, DstX, DstY, DstZ, SrcSubresource, hasBox,
//                                                       then left, top, front, right, bottom, back with a box}
//   CopyResource              {dst, src}               {}
//   Map                       {resource}               {Subresource, MapType, MapFlags}
//   Unmap                     {resource}               {Subresource}
//   IASetVertexBuffers        {buffers...}             {StartSlot, NumBuffers}
//   IASetIndexBuffer          {buffer}                 {Format, Offset}
//   IASetInputLayout          {layout}                 {}
//   IASetPrimitiveTopology    {}                       {Topology}
//   VSSetShader, PSSetShader  {shader, instances...}   {NumClassInstances}
//   PSSetShaderResources      {views...}               {StartSlot, NumViews}
//   OMSetRenderTargets        {renderTargets..., dsv}  {NumViews}
//   OMGetRenderTargets        {renderTargets..., dsv}  {NumViews}  (what was handed out)
//   OMSetDepthStencilState    {state}                  {StencilRef}
//   OMSetBlendState           {state}                  {hasBlendFactor, SampleMask}
//   RSSetState                {state}                  {}
//   RSSetViewports            {}                       {NumViewports, then TopLeftX, TopLeftY, Width, Height,
//                                                       MinDepth, MaxDepth of each}
//   Draw                      {}                       {VertexCount, StartVertexLocation, pixelsWritten}
//   ClearRenderTargetView     {view}                   {r, g, b, a}
//   ClearDepthStencilView     {view}                   {ClearFlags, Depth, Stencil}
//   ClearState, Flush         {}                       {}
// The getters other than OMGetRenderTargets are not recorded.

// The calls in order (the latest 65536), only those named `method` when it is given.
ZERIN_SOFT_D3D11_API std::vector<Call> calls(ID3D11Device* device, const std::string& method = "");
// How often `method` was called since the device was made or the record cleared (exact).
ZERIN_SOFT_D3D11_API size_t callCount(ID3D11Device* device, const std::string& method);
ZERIN_SOFT_D3D11_API void clearCalls(ID3D11Device* device);
// The problems of all recorded calls, in order.
ZERIN_SOFT_D3D11_API std::vector<std::string> problems(ID3D11Device* device);
// Objects of the device that exist now (textures, views, shaders, states), bound or referenced.
ZERIN_SOFT_D3D11_API size_t liveObjects(ID3D11Device* device);
// Devices made while this is on are bare: copies and draws move no texel, and nothing is
// recorded (calls, callCount and problems see nothing). Bindings and references work as always.
// For benchmarks, so that what a call costs is the call alone.
ZERIN_SOFT_D3D11_API void setBareDevices(bool bare);
// True for a device of the software implementation.
ZERIN_SOFT_D3D11_API bool isSoftDevice(ID3D11Device* device);

// One D3DCompile call (process-wide record).
struct CompileRecord {
  std::string sourceName;  // "" for none
  std::string entryPoint;
  std::string target;
  size_t sourceSize = 0;
  HRESULT result = S_OK;
};
ZERIN_SOFT_D3D11_API std::vector<CompileRecord> compiles();
ZERIN_SOFT_D3D11_API void clearCompiles();
// Makes the next D3DCompile of `entryPoint` ("" for any) fail with E_FAIL and `message` as its
// error text (null: no error blob). Each call arms one failure.
ZERIN_SOFT_D3D11_API void failNextCompile(const std::string& entryPoint, const char* message);
// Makes the next D3D11CreateDevice fail with `result`.
ZERIN_SOFT_D3D11_API void failNextDeviceCreation(HRESULT result);

// The depth-copy program source, the one source the software compiler accepts.
ZERIN_SOFT_D3D11_API const std::string& depthCopyShaderSource();

}  // namespace ZerinSim::Gfx
