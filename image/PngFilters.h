#pragma once
#include <cstddef>
#include <cstdint>

// Reverses one scanline's filter (PNG filter method 0, types 0 to 4).
//  filtered: the row's bytes after its filter-type byte; prior: the previous reconstructed row, or
//  zeros for the first row of a pass; out: where the reconstructed row goes. out may be filtered
//  itself or lie before it in the same buffer (bytes are read strictly in order, each before any
//  write to a later position), but must not overlap prior. bytesPerPixel is 1, 2, 3, 4, 6 or 8.
// Returns false for an unknown filter type or pixel size.
bool UnfilterRow(uint8_t filterType, const uint8_t* filtered, const uint8_t* prior, uint8_t* out, size_t length,
                 unsigned bytesPerPixel);
