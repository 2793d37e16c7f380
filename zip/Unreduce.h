#pragma once
#include <cstdint>

#include "zip/DecoderIo.h"

// Methods 2 to 5 (Reduce with compression factor 1 to 4): follower sets that code each byte by the
// byte before it, then a run of back-references introduced by the byte 144, as the ZIP
// application note defines them. Decodes until the declared size is reached.
void UnreduceMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize, int factor);
