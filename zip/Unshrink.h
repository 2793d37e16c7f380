#pragma once
#include <cstdint>

#include "zip/DecoderIo.h"

// Method 1 (Shrink): dynamic LZW with codes of 9 to 13 bits and partial clearing, as the ZIP
// application note defines it. Decodes until the declared size is reached; an invalid code or
// an overrun input ends the member early (the CRC then fails).
void UnshrinkMember(IMemberInput& input, IMemberOutput& output, uint64_t uncompressedSize);
