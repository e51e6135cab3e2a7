#include "image.h"

#include <cstdio>

namespace artbuild {
namespace {

void put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<std::uint8_t>& out, unsigned v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// The 14-byte file header and the 40-byte info header of a bottom-up BMP.
void bmp_headers(std::vector<std::uint8_t>& out, int w, int h, int bpp, unsigned palette_size,
                 unsigned pixel_bytes) {
  const unsigned offset = 14 + 40 + palette_size * 4;
  out.push_back('B');
  out.push_back('M');
  put32(out, offset + pixel_bytes);
  put32(out, 0);
  put32(out, offset);
  put32(out, 40);
  put32(out, static_cast<unsigned>(w));
  put32(out, static_cast<unsigned>(h));
  put16(out, 1);
  put16(out, static_cast<unsigned>(bpp));
  put32(out, 0);  // no compression
  put32(out, pixel_bytes);
  put32(out, 2835);  // 72 dpi, in pixels per metre
  put32(out, 2835);
  put32(out, palette_size);
  put32(out, 0);
}

bool write_file(const std::vector<std::uint8_t>& bytes, const std::string& path,
                std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot write " + path;
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    error = "error while writing " + path;
    return false;
  }
  return true;
}

}  // namespace

bool write_bmp24(const Image& img, const std::string& path, std::string& error) {
  const int stride = (img.w * 3 + 3) & ~3;  // rows are padded to 4 bytes
  std::vector<std::uint8_t> out;
  bmp_headers(out, img.w, img.h, 24, 0, static_cast<unsigned>(stride * img.h));
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb c = img.at(x, y);
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (int pad = img.w * 3; pad < stride; ++pad) out.push_back(0);
  }
  return write_file(out, path, error);
}

bool write_bmp8(const IndexedImage& img, const std::string& path, std::string& error) {
  const int stride = (img.w + 3) & ~3;
  std::vector<std::uint8_t> out;
  bmp_headers(out, img.w, img.h, 8, 256, static_cast<unsigned>(stride * img.h));
  for (int i = 0; i < 256; ++i) {
    const Rgb c = i < static_cast<int>(img.palette.size()) ? img.palette[i] : Rgb{};
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) out.push_back(img.px[static_cast<std::size_t>(y) * img.w + x]);
    for (int pad = img.w; pad < stride; ++pad) out.push_back(0);
  }
  return write_file(out, path, error);
}

}  // namespace artbuild
