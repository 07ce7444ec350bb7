// The bzip3 methods of a build made without libbzip3 (LZPACK_WITH_BZIP3=OFF), for platforms whose
// package sources offer none. Encoding never fits, so codec 5 stores its blocks and auto chooses
// among its other candidates; a payload with bzip3 blocks does not restore here.
#include "backend.h"

namespace lzcodec {

Status bzip3_encode(RawBytes /*raw*/, int /*level*/, OutBytes /*coded*/, std::size_t& /*written*/) {
  return Status::kDoesNotFit;
}

Status bzip3_decode(RawBytes /*coded*/, OutBytes /*raw*/) { return Status::kCorrupt; }

}  // namespace lzcodec
