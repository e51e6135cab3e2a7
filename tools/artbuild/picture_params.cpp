// Reading a picture file: one key and its numbers, colours or words a line
// (the keys are listed in data/pictures/menu.txt).
#include <cmath>
#include <string>

#include "common/text_source.h"
#include "picture.h"
#include "picture_local.h"

namespace artbuild {

using textsource::folder_of;
using textsource::parse_int;
using textsource::SourceLine;
using textsource::split_source;

namespace {

// Reads the words of one parameter line in order, remembering the first failure.
class Words {
 public:
  explicit Words(const SourceLine& line) : line_(line) {}
  int number(int lo, int hi) {
    int v = lo;
    if (next_ >= line_.words.size() || !parse_int(line_.words[next_], lo, hi, v)) ok_ = false;
    ++next_;
    return v;
  }
  Rgb colour() {
    const int r = number(0, 255), g = number(0, 255), b = number(0, 255);
    return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
            static_cast<std::uint8_t>(b)};
  }
  std::string word() {
    if (next_ >= line_.words.size()) ok_ = false;
    return next_ < line_.words.size() ? line_.words[next_++] : std::string();
  }
  bool done() const { return ok_ && next_ == line_.words.size(); }

 private:
  const SourceLine& line_;
  std::size_t next_ = 1;
  bool ok_ = true;
};

}  // namespace

bool parse_picture_line(const SourceLine& line, Params& p) {
  Words in(line);
  const std::string& key = line.words[0];
  if (key == "kind") {
    const std::string k = in.word();
    if (k != "menu" && k != "tile") return false;
    p.tile = k == "tile";
  } else if (key == "size") {
    p.w = in.number(1, 1024);
    p.h = in.number(1, 1024);
  } else if (key == "seed") {
    p.seed = static_cast<std::uint64_t>(in.number(0, 1 << 30));
  } else if (key == "sky") {
    p.sky_top = in.colour();
    p.sky_bottom = in.colour();
  } else if (key == "cloud" || key == "nebula") {
    Cloud c;
    c.colour = in.colour();
    c.strength = in.number(0, 1000) / 100.0;
    c.cell = in.number(4, 256);
    if (key == "nebula") {
      c.local = true;
      c.x = in.number(-1024, 2048);
      c.y = in.number(-1024, 2048);
      c.radius = in.number(1, 2048);
    }
    p.clouds.push_back(c);
  } else if (key == "stars") {
    StarLayer s;
    s.count = in.number(0, 100000);
    s.lo = in.number(0, 255);
    s.hi = in.number(s.lo, 255);
    p.stars.push_back(s);
  } else if (key == "flares") {
    p.flares = in.number(0, 1000);
  } else if (key == "light") {
    const double x = in.number(-100, 100), y = in.number(-100, 100), z = in.number(1, 100);
    const double len = std::sqrt(x * x + y * y + z * z);
    p.light = {x / len, y / len, z / len};
  } else if (key == "planet") {
    Planet& pl = p.planet;
    pl.on = true;
    pl.x = in.number(-1024, 2048);
    pl.y = in.number(-1024, 2048);
    pl.r = in.number(1, 1024);
    pl.lit = in.colour();
    pl.dark = in.colour();
    pl.haze = in.colour();
    pl.bands = in.number(0, 64);
    pl.levels = in.number(2, 64);
  } else if (key == "logo") {
    Logo& l = p.logo;
    l.on = true;
    l.text = in.word();
    l.x = in.number(0, 1024);
    l.y = in.number(0, 1024);
    l.scale = in.number(1, 16);
    l.top = in.colour();
    l.bottom = in.colour();
    l.outline = in.colour();
  } else if (key == "logo_font") {
    in.word();  // read by logo_font_path
  } else if (key == "panel") {
    Box& b = p.panel;
    b.on = true;
    b.x = in.number(0, 1024);
    b.y = in.number(0, 1024);
    b.w = in.number(1, 1024);
    b.h = in.number(1, 1024);
    b.frame = in.colour();
  } else if (key == "dim") {
    Dim d;
    d.y0 = in.number(0, 1024);
    d.y1 = in.number(d.y0, 1024);
    d.factor = in.number(0, 100) / 100.0;
    p.dims.push_back(d);
  } else {
    return false;
  }
  return in.done();
}

std::string logo_font_path(std::string_view text, const std::string& file) {
  for (const SourceLine& line : split_source(text))
    if (line.words.size() == 2 && line.words[0] == "logo_font")
      return folder_of(file) + "/" + line.words[1];
  return "";
}

}  // namespace artbuild
