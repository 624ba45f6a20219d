#pragma once

#include <cstdint>
#include <span>

// The marble bases are the costliest pictures to draw, and the window draws them as it starts.
// At one device pixel per design pixel, the most common size, they are drawn once at build time
// by the same code (tools/bake_bases.cpp) and kept in the program as grey levels.
namespace board {

// Grey levels of base `peg`, row by row, when it was drawn at build time at `width` × `height`
// device pixels; empty otherwise.
std::span<const std::uint8_t> bakedBase(int peg, int width, int height);

}  // namespace board
