// The software HLSL compiler: it knows one program, the depth copy, and says so for any other.
#include "soft_compiler.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

#include "render/shaders/depth_copy_shader.h"

namespace ZerinSim::Gfx::Soft {
namespace {

// Bytecode: magic, program, and the source size it came from.
constexpr char kMagic[4] = {'Z', 'S', 'B', 'C'};
struct Bytecode {
  char magic[4];
  uint32_t program;
  uint32_t sourceSize;
  uint32_t check;
};
constexpr uint32_t checkOf(uint32_t program, uint32_t size) { return (program * 2654435761u) ^ size ^ 0x5a5a5a5au; }

class Blob final : public ID3D10Blob {
 public:
  explicit Blob(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ID3D10Blob)) {
      AddRef();
      *out = static_cast<ID3D10Blob*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return references.fetch_add(1) + 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = references.fetch_sub(1) - 1;
    if (count == 0) delete this;
    return count;
  }
  void* STDMETHODCALLTYPE GetBufferPointer() override { return data.data(); }
  SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return data.size(); }

 private:
  virtual ~Blob() = default;
  std::vector<uint8_t> data;
  std::atomic<ULONG> references{1};
};

ID3D10Blob* textBlob(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);  // the error text is a C string, its terminator counted in the size
  return new Blob(std::move(bytes));
}

struct Failure {
  std::string entryPoint;
  bool hasMessage;
  std::string message;
};

std::mutex compilerLock;  // guards records and failures
std::deque<CompileRecord> records;
std::deque<Failure> failures;

std::string nameOf(LPCSTR sourceName) { return sourceName && *sourceName ? sourceName : "Source"; }

}  // namespace

bool decodeBytecode(const void* bytecode, SIZE_T length, ShaderProgram& program) {
  if (!bytecode || length != sizeof(Bytecode)) return false;
  Bytecode code;
  std::memcpy(&code, bytecode, sizeof code);
  if (std::memcmp(code.magic, kMagic, 4) != 0 || code.check != checkOf(code.program, code.sourceSize)) return false;
  if (code.program != uint32_t(ShaderProgram::DepthCopyVertex) && code.program != uint32_t(ShaderProgram::DepthCopyPixel))
    return false;
  program = ShaderProgram(code.program);
  return true;
}

const std::string& depthCopySource() {
  static const std::string source(Zerin::kDepthCopyShaderSource, Zerin::kDepthCopyShaderSourceSize);
  return source;
}

std::vector<CompileRecord> compileRecords() {
  std::lock_guard<std::mutex> lock(compilerLock);
  return {records.begin(), records.end()};
}

void clearCompileRecords() {
  std::lock_guard<std::mutex> lock(compilerLock);
  records.clear();
}

void armCompileFailure(const std::string& entryPoint, const char* message) {
  std::lock_guard<std::mutex> lock(compilerLock);
  failures.push_back({entryPoint, message != nullptr, message ? message : ""});
}

}  // namespace ZerinSim::Gfx::Soft

using namespace ZerinSim::Gfx::Soft;

extern "C" __attribute__((visibility("default"))) HRESULT WINAPI D3DCompile(
    const void* pSrcData, SIZE_T SrcDataSize, LPCSTR pSourceName, const D3D_SHADER_MACRO* /*pDefines*/,
    ID3DInclude* /*pInclude*/, LPCSTR pEntrypoint, LPCSTR pTarget, UINT /*Flags1*/, UINT /*Flags2*/,
    ID3DBlob** ppCode, ID3DBlob** ppErrorMsgs) {
  if (ppCode) *ppCode = nullptr;
  if (ppErrorMsgs) *ppErrorMsgs = nullptr;
  const std::string entry = pEntrypoint ? pEntrypoint : "";
  const std::string target = pTarget ? pTarget : "";

  HRESULT result = S_OK;
  std::string error;
  bool withError = true;
  ShaderProgram program = ShaderProgram::DepthCopyVertex;
  {
    std::lock_guard<std::mutex> lock(compilerLock);
    for (auto it = failures.begin(); it != failures.end(); ++it) {
      if (it->entryPoint.empty() || it->entryPoint == entry) {
        result = E_FAIL;
        withError = it->hasMessage;
        error = it->message;
        failures.erase(it);
        break;
      }
    }
  }
  if (result == S_OK) {
    const std::string& known = depthCopySource();
    if (!pSrcData || !pEntrypoint || !pTarget || !ppCode) {
      result = E_INVALIDARG;
      withError = false;
    } else if (SrcDataSize != known.size() || std::memcmp(pSrcData, known.data(), known.size()) != 0) {
      result = E_FAIL;
      error = nameOf(pSourceName) + "(1,1): error X3000: the software compiler knows only the depth-copy program (" +
              std::to_string(SrcDataSize) + " bytes given)";
    } else if (entry == "VS") {
      program = ShaderProgram::DepthCopyVertex;
      if (target != "vs_5_0") {
        result = E_FAIL;
        error = nameOf(pSourceName) + "(1,8): error X3502: 'VS': entry point cannot be compiled for '" + target + "'";
      }
    } else if (entry == "PS") {
      program = ShaderProgram::DepthCopyPixel;
      if (target != "ps_5_0") {
        result = E_FAIL;
        error = nameOf(pSourceName) + "(1,7): error X3502: 'PS': entry point cannot be compiled for '" + target + "'";
      }
    } else {
      result = E_FAIL;
      error = nameOf(pSourceName) + ": error X3501: '" + entry + "': entrypoint not found";
    }
  }

  if (SUCCEEDED(result)) {
    Bytecode code;
    std::memcpy(code.magic, kMagic, 4);
    code.program = uint32_t(program);
    code.sourceSize = uint32_t(SrcDataSize);
    code.check = checkOf(code.program, code.sourceSize);
    std::vector<uint8_t> bytes(sizeof code);
    std::memcpy(bytes.data(), &code, sizeof code);
    *ppCode = new Blob(std::move(bytes));
  } else if (withError && ppErrorMsgs) {
    *ppErrorMsgs = textBlob(error);
  }
  std::lock_guard<std::mutex> lock(compilerLock);
  records.push_back({pSourceName ? pSourceName : "", entry, target, SrcDataSize, result});
  if (records.size() > 4096) records.pop_front();
  return result;
}
