// mirvo-artbuild: turns the readable art sources under data/ into the image
// files Allegro's "dat" utility packs into the game's datafiles, or packs a
// sprite sheet's datafile itself with dat, as the build does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/process.h"
#include "common/text_source.h"
#include "font.h"
#include "picture.h"
#include "sprite.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo-artbuild sprite SHEET.txt -o OUT.dat\n"
    "       mirvo-artbuild tiles TILE.txt -o OUT.dat\n"
    "       mirvo-artbuild COMMAND ...\n"
    "\n"
    "  sprite SHEET.txt -o OUT.dat\n"
    "      packs every frame of the sprite sheet, in the order the sheet gives\n"
    "      them, into the enemy datafile OUT.dat with Allegro's dat tool (on\n"
    "      the PATH), making OUT's folder when it is missing\n"
    "  sprite SHEET.txt OUTDIR PREFIX\n"
    "      writes every frame of the sprite sheet as OUTDIR/PREFIXnn.bmp (24-bit),\n"
    "      numbered from 00 in the order the sheet gives them\n"
    "  xpm SHEET.txt OUT.xpm\n"
    "      writes the first frame of the sprite sheet as an XPM picture to compile\n"
    "      in, named after OUT (mirvo_icon.xpm holds mirvo_icon[])\n"
    "  font GLYPHS.txt OUT.bmp\n"
    "      writes the font as an 8-bit glyph grid that 'dat -t FONT' grabs\n"
    "  tiles TILE.txt -o OUT.dat\n"
    "      packs a level's tile set: the tile of TILE.txt (kind tile) as object 0\n"
    "      and three variants of it that join it seamlessly as objects 1 to 3\n"
    "  picture PARAMS.txt OUT.bmp [VARIANT]\n"
    "      generates a menu background or a seamless tile from its parameters;\n"
    "      a VARIANT above 0 has its own stars and clouds, the same edges\n"
    "  text GLYPHS.txt TEXT OUT.bmp\n"
    "      sets TEXT in the font, white on black, to look at the glyphs\n"
    "\n"
    "Errors name the source file and line; the exit status is 1 on any error.\n";

int fail(const std::string& what) {
  std::fprintf(stderr, "mirvo-artbuild: %s\n", what.c_str());
  return 1;
}

// The frames written as OUTDIR/PREFIXnn.bmp into a folder made when missing;
// their paths, or nothing with the error set.
std::optional<std::vector<std::string>> write_frames(const std::string& src,
                                                     const std::string& outdir,
                                                     const std::string& prefix,
                                                     std::string& error) {
  const auto sheet = textsource::load_source(src, artbuild::parse_sprite_sheet, error);
  if (!sheet) return std::nullopt;
  std::error_code made;
  std::filesystem::create_directories(outdir, made);
  if (made) {
    error = "cannot make the folder " + outdir + ": " + made.message();
    return std::nullopt;
  }
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < sheet->frames.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%02zu.bmp", i);
    paths.push_back((outdir + "/").append(prefix).append(name));
    if (!artbuild::write_bmp24(sheet->frames[i], paths.back(), error)) return std::nullopt;
  }
  return paths;
}

int run_sprite(const std::string& src, const std::string& outdir, const std::string& prefix) {
  std::string error;
  return write_frames(src, outdir, prefix, error) ? 0 : fail(error);
}

// Where a datafile's pictures wait for dat: a hidden folder beside it.
std::filesystem::path scratch_for(const std::string& out) {
  const std::filesystem::path target = std::filesystem::absolute(out);
  return target.parent_path() / ("." + target.filename().string() + ".pictures");
}

// dat packs the pictures as the build does: 32-bit BMP objects named after
// their files, in name order, without dates or source paths, so the same
// sources give the same bytes. The scratch folder goes either way.
int pack_datafile(const std::vector<std::string>& pictures, const std::string& out) {
  namespace fs = std::filesystem;
  const fs::path target = fs::absolute(out);
  std::vector<std::string> args{"-s1", "-bpp", "32", "-a", "-t", "BMP", target.string()};
  args.insert(args.end(), pictures.begin(), pictures.end());
  std::error_code ignored;
  fs::remove(target, ignored);  // dat adds to an archive that exists
  const bool packed = textsource::run_program("dat", args, true);
  fs::remove_all(scratch_for(out), ignored);
  if (!packed) return fail("dat could not pack " + out + " (is Allegro's dat tool on the PATH?)");
  return 0;
}

// An enemy type's datafile: the frames as objects F00_BMP, F01_BMP, ...
int run_sprite_datafile(const std::string& src, const std::string& out) {
  std::string error;
  const auto frames = write_frames(src, scratch_for(out).string(), "f", error);
  return frames ? pack_datafile(*frames, out) : fail(error);
}

int run_xpm(const std::string& src, const std::string& out) {
  std::string error;
  const auto sheet = textsource::load_source(src, artbuild::parse_sprite_sheet, error);
  if (!sheet) return fail(error);
  if (sheet->frames.empty()) return fail(src + ": no frame");
  const std::string name = std::filesystem::path(out).stem().string();
  const std::string text = artbuild::xpm_text(sheet->frames.front(), name);
  std::FILE* file = std::fopen(out.c_str(), "wb");
  const bool written =
      file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr && std::fclose(file) != 0) return fail("cannot write " + out);
  return written ? 0 : fail("cannot write " + out);
}

int run_font(const std::string& src, const std::string& out) {
  std::string error;
  const auto font = textsource::load_source(src, artbuild::parse_font, error);
  if (!font) return fail(error);
  if (!artbuild::write_bmp8(artbuild::font_grid(*font), out, error)) return fail(error);
  return 0;
}

int run_picture(const std::string& src, const std::string& out, int variant) {
  const auto text = textsource::read_text(src);
  if (!text) return fail("cannot read " + src);
  std::string error;
  std::optional<artbuild::FontSheet> font;
  const std::string font_path = artbuild::logo_font_path(*text, src);
  if (!font_path.empty()) {
    font = textsource::load_source(font_path, artbuild::parse_font, error);
    if (!font) return fail(error);
  }
  const auto img = artbuild::make_picture(*text, src, font ? &*font : nullptr, error, variant);
  if (!img || !artbuild::write_bmp24(*img, out, error)) return fail(error);
  return 0;
}

// A tile set: the tile as object 0, then three variants with their own stars
// and clouds inside and the same edges, so any two join.
int run_tile_set(const std::string& src, const std::string& out) {
  const std::filesystem::path scratch = scratch_for(out);
  std::error_code made;
  std::filesystem::create_directories(scratch, made);
  if (made) return fail("cannot make the folder " + scratch.string() + ": " + made.message());
  std::vector<std::string> tiles;
  for (int variant = 0; variant < 4; ++variant) {
    tiles.push_back((scratch / ("t" + std::to_string(variant) + "_tile.bmp")).string());
    if (const int failed = run_picture(src, tiles.back(), variant); failed != 0) return failed;
  }
  return pack_datafile(tiles, out);
}

int run_text(const std::string& src, const std::string& line, const std::string& out) {
  std::string error;
  const auto font = textsource::load_source(src, artbuild::parse_font, error);
  if (!font) return fail(error);
  const artbuild::TextMask m = artbuild::set_text(*font, line);
  artbuild::Image img(m.w + 4, m.h + 4, artbuild::Rgb{0, 0, 0});
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.ink[y * m.w + x]) img.at(x + 2, y + 2) = artbuild::Rgb{255, 255, 255};
  if (!artbuild::write_bmp24(img, out, error)) return fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "--help" || cmd == "-h") {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (cmd == "sprite" && argc == 5 && std::strcmp(argv[3], "-o") == 0)
    return run_sprite_datafile(argv[2], argv[4]);
  if (cmd == "sprite" && argc == 5) return run_sprite(argv[2], argv[3], argv[4]);
  if (cmd == "tiles" && argc == 5 && std::strcmp(argv[3], "-o") == 0)
    return run_tile_set(argv[2], argv[4]);
  if (cmd == "xpm" && argc == 4) return run_xpm(argv[2], argv[3]);
  if (cmd == "font" && argc == 4) return run_font(argv[2], argv[3]);
  if (cmd == "picture" && argc == 4) return run_picture(argv[2], argv[3], 0);
  if (cmd == "picture" && argc == 5) return run_picture(argv[2], argv[3], std::atoi(argv[4]));
  if (cmd == "text" && argc == 5) return run_text(argv[2], argv[3], argv[4]);
  std::fputs(USAGE, stderr);
  return 1;
}
