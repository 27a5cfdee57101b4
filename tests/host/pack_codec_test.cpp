// Unit tests of the encoder's parts.
#include "Huffman.h"

#include <gtest/gtest.h>
