#pragma once

// The coding loops behind CCompression, on memory buffers. The callers own
// all I/O: they feed input in large blocks and drain output buffers, so the
// loops allocate nothing and never see a file.

#include "compression/huffman_decoder.h"
#include "compression/huffman_encoder.h"
#include "compression/huffman_tree.h"
