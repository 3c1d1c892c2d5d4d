#pragma once
// The HLSL compiler entry the render code uses (Linux only).
#include "d3dcommon.h"

#define D3DCOMPILE_DEBUG 0x1
#define D3DCOMPILE_SKIP_OPTIMIZATION 0x4
#define D3DCOMPILE_ENABLE_STRICTNESS 0x800
#define D3DCOMPILE_OPTIMIZATION_LEVEL3 0x8000

extern "C" HRESULT WINAPI D3DCompile(const void* pSrcData, SIZE_T SrcDataSize, LPCSTR pSourceName,
                                     const D3D_SHADER_MACRO* pDefines, ID3DInclude* pInclude, LPCSTR pEntrypoint,
                                     LPCSTR pTarget, UINT Flags1, UINT Flags2, ID3DBlob** ppCode,
                                     ID3DBlob** ppErrorMsgs);
