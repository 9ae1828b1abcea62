// CRC-32 as zlib's crc32() computes it (same start value, same result), with
// carry-less multiplication where the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rarscan {

uint32_t crc32(uint32_t crc, const void *data, size_t len);

} // namespace rarscan
