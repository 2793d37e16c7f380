#pragma once
#include "zip/DecoderIo.h"

// Method 8: the member is one raw DEFLATE stream (RFC 1951, no zlib header or trailer), inflated
// by zlib. The end of the DEFLATE stream ends the member. zlib rejecting the data, or the
// compressed bytes running out before the stream's end, raises EZCompressionError.
void InflateMember(IMemberInput& input, IMemberOutput& output);
