#pragma once
#include <cstdint>

#include "zip/DecoderIo.h"

// Method 6 (Implode): a sliding dictionary of 4 or 8 KiB with Shannon-Fano coded lengths and
// distances (and literals, when the member has the third tree), as the ZIP application note
// defines it. Flag bit 1 selects the 8 KiB dictionary, bit 2 the literal tree.
void ExplodeMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize, bool dictionary8K,
                   bool literalTree);
