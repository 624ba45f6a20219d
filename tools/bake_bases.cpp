// Draws the three marble bases at one device pixel per design pixel and writes them as a C++
// source file of grey levels, which the program then takes instead of drawing them as it starts:
//   bake_bases OUTPUT.cpp
// Run by the build; the code that draws them is the program's own, so what is kept is exactly
// what the program would draw.

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/pictures.h"

namespace {

constexpr int kPegs = 3;

// The pixels of a base are opaque greys; anything else would not survive being kept as one
// level per pixel.
bool greyLevel(std::uint32_t pixel, unsigned& level) {
  level = pixel & 0xFFu;
  return (pixel >> 24) == 0xFFu && ((pixel >> 16) & 0xFFu) == level &&
         ((pixel >> 8) & 0xFFu) == level;
}

bool write(std::FILE* out) {
  board::MarbleSlab slab;
  forms::Image bases[kPegs];
  for (int peg = 0; peg < kPegs; ++peg) {
    bases[peg] = board::drawnBasePicture(peg, 1.0, slab);
  }
  const int width = bases[0].width;
  const int height = bases[0].height;
  std::fprintf(out,
               "// Drawn by tools/bake_bases.cpp as the program builds.\n"
               "#include \"board/baked_bases.h\"\n\n#include <iterator>\n\n"
               "namespace {\n"
               "constexpr int kWidth = %d;\n"
               "constexpr int kHeight = %d;\n"
               "constexpr std::uint8_t kLevels[%d][kWidth * kHeight] = {\n",
               width, height, kPegs);
  for (const forms::Image& base : bases) {
    if (base.width != width || base.height != height) {
      std::fputs("bake_bases: the bases are not all of one size\n", stderr);
      return false;
    }
    std::string line = "  {";
    for (std::size_t i = 0; i < base.pixels.size(); ++i) {
      unsigned level = 0;
      if (!greyLevel(base.pixels[i], level)) {
        std::fprintf(stderr, "bake_bases: pixel %zu of a base is not an opaque grey\n", i);
        return false;
      }
      line += std::to_string(level) + ",";
      if (line.size() > 92) {
        std::fprintf(out, "%s\n", line.c_str());
        line = "   ";
      }
    }
    std::fprintf(out, "%s},\n", line.c_str());
  }
  std::fputs(
      "};\n"
      "}  // namespace\n\n"
      "std::span<const std::uint8_t> board::bakedBase(int peg, int width, int height) {\n"
      "  if (peg < 0 || peg >= static_cast<int>(std::size(kLevels)) || width != kWidth ||\n"
      "      height != kHeight) {\n"
      "    return {};\n"
      "  }\n"
      "  return kLevels[peg];\n"
      "}\n",
      out);
  return std::ferror(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: bake_bases OUTPUT.cpp\n", stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "bake_bases: cannot write %s\n", argv[1]);
    return 1;
  }
  const bool written = write(out);
  if (std::fclose(out) != 0 || !written) {
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
