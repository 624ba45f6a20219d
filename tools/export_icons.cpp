// Writes the application icon as PNG files, from the same picture code as the window icon: for
// the desktop's icon theme, and for the browser edition's manifest, where this tool is built
// for Node.js. It writes PNG itself, so that it needs no toolkit.
//   export_icons <folder> <size>...
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "board/pictures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Deflate with the fixed codes: a run of bytes that repeats the pixel before it or the row
// above is sent as a copy. The icon's flat colours shrink a hundredfold.
class Deflate {
 public:
  Bytes compress(const Bytes& data, std::size_t stride) {
    bits(1, 1);  // the last block
    bits(1, 2);  // fixed codes
    for (std::size_t at = 0; at < data.size();) {
      std::size_t best = 0;
      std::size_t from = 0;
      for (const std::size_t distance : {std::size_t{4}, stride}) {
        std::size_t length = 0;
        while (distance <= at && at + length < data.size() && length < 258 &&
               data[at + length] == data[at + length - distance]) {
          ++length;
        }
        if (length > best) {
          best = length;
          from = distance;
        }
      }
      if (best >= 3) {
        copy(best, from);
        at += best;
      } else {
        symbol(data[at++]);
      }
    }
    symbol(256);
    if (count_ > 0) {
      out_.push_back(static_cast<std::uint8_t>(pending_));
    }
    return out_;
  }

 private:
  void bits(std::uint32_t value, int count) {
    pending_ |= value << count_;
    count_ += count;
    for (; count_ >= 8; count_ -= 8, pending_ >>= 8) {
      out_.push_back(static_cast<std::uint8_t>(pending_));
    }
  }
  // Huffman codes go most significant bit first.
  void code(std::uint32_t value, int length) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) {
      reversed |= ((value >> i) & 1u) << (length - 1 - i);
    }
    bits(reversed, length);
  }
  void symbol(int s) {
    if (s < 144) {
      code(0x30 + s, 8);
    } else if (s < 256) {
      code(0x190 + s - 144, 9);
    } else if (s < 280) {
      code(s - 256, 7);
    } else {
      code(0xC0 + s - 280, 8);
    }
  }
  void copy(std::size_t length, std::size_t distance) {
    static constexpr std::array<int, 29> kLength{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                 15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::array<int, 30> kDistance{
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int l = 28;
    while (kLength[l] > static_cast<int>(length)) {
      --l;
    }
    symbol(257 + l);
    const int lengthExtra = (l < 8 || l == 28) ? 0 : (l - 4) / 4;
    bits(static_cast<std::uint32_t>(length) - kLength[l], lengthExtra);
    int d = 29;
    while (kDistance[d] > static_cast<int>(distance)) {
      --d;
    }
    code(d, 5);
    bits(static_cast<std::uint32_t>(distance) - kDistance[d], d < 4 ? 0 : (d - 2) / 2);
  }

  Bytes out_;
  std::uint32_t pending_ = 0;
  int count_ = 0;
};

void putWord(Bytes& out, std::uint32_t word) {
  for (const int shift : {24, 16, 8, 0}) {
    out.push_back(static_cast<std::uint8_t>(word >> shift));
  }
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
  putWord(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  putWord(png, crc32(png.data() + start, png.size() - start));
}

// An RGBA PNG of the image's 0xAARRGGBB pixels.
Bytes encodePng(const forms::Image& image) {
  const std::size_t stride = 1 + static_cast<std::size_t>(image.width) * 4;
  Bytes rows;
  for (int y = 0; y < image.height; ++y) {
    rows.push_back(0);  // no filter
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t argb = image.pixel(x, y);
      for (const int shift : {16, 8, 0, 24}) {
        rows.push_back(static_cast<std::uint8_t>(argb >> shift));
      }
    }
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : rows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Bytes zlib{0x78, 0x01};
  const Bytes deflated = Deflate().compress(rows, stride);
  zlib.insert(zlib.end(), deflated.begin(), deflated.end());
  putWord(zlib, (b << 16) | a);

  Bytes header;
  putWord(header, static_cast<std::uint32_t>(image.width));
  putWord(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a sample, RGBA
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", zlib);
  chunk(png, "IEND", {});
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <output folder> <size>...\n", argv[0]);
    return 2;
  }
  for (int k = 2; k < argc; ++k) {
    const int size = std::atoi(argv[k]);
    const forms::Image icon = board::iconPicture(size);
    if (size <= 0 || icon.width != size || icon.height != size) {
      std::fprintf(stderr, "no icon of size %s\n", argv[k]);
      return 1;
    }
    const Bytes png = encodePng(icon);
    const std::string path =
        std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + ".png";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written =
        file != nullptr && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
