#pragma once

#include "compression/byte_stream.h"

#include <cstddef>
#include <cstdint>

namespace velkaro {

// Counts every byte value of `in` from its current position to its end, or
// until more than the block's largest source length has been read. `total`
// receives the number of bytes read. False on a read error (in.error).
bool CountBytes(Input& in, uint64_t (&counts)[256], uint64_t& total);

// Counts every byte value of p[0..n) into `counts`, replacing them.
// REQUIRES: n < 4 GiB.
void CountBlock(const uint8_t* p, size_t n, uint32_t (&counts)[256]);

}  // namespace velkaro
