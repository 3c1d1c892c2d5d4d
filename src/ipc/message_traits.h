#pragma once
#include <vector>

#include "ipc/binary_serialization.h"

namespace Zerin {

// How a message's payload is laid out.
enum class PayloadForm {
  FixedSize,  // the record's own sizeof(T) bytes; longer payloads are read from their start
  FieldList,  // the fields of MessageTraits<T>::fields(), encoded back to back
};

// Specialised once per message type beside its definition, with:
//   static constexpr const char* name;       the frame's name and the registry key
//   static constexpr const char* parserTag;  the log tag of its parser's parseMessage
//   static constexpr PayloadForm form;
//   static std::vector<FieldCodec<T>> fields();  (FieldList only) one entry per member, in order
template <class T>
struct MessageTraits;

}  // namespace Zerin
