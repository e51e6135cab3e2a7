// The window's icon. Allegro's X11 port (and AllegroGL's) puts the XPM
// picture `allegro_icon` points at into the window's WM hints as it makes the
// window; the library's own default points at Allegro's logo, and no header
// declares it, so the definition here takes its place. Today's task bars and
// title bars read _NET_WM_ICON instead, which neither library sets.
#include <X11/Xatom.h>
#include <allegro.h>
#include <xalleg.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "shell/shell_local.h"
#include "shell/x11_local.h"
// `static const char* mirvo_icon[]`, made from data/sprites/icon.txt when the
// game is built.
#include "mirvo_icon.xpm"

extern "C" {
void* allegro_icon = const_cast<char**>(mirvo_icon);
}

namespace {

// The "c" (colour display) value of an XPM colour line after its key, as
// 0xAARRGGBB; nothing for a colour given any other way.
std::optional<unsigned long> xpm_colour(std::string_view words_after_key) {
  std::istringstream words{std::string(words_after_key)};
  std::string context, value;
  while (words >> context >> value) {
    if (context != "c") continue;
    if (value == "None" || value == "none") return 0ul;
    unsigned long rgb = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data() + 1, end, rgb, 16);
    if (value.size() != 7 || value[0] != '#' || error != std::errc() || stop != end)
      return std::nullopt;
    return 0xff000000ul | rgb;
  }
  return std::nullopt;
}

}  // namespace

std::vector<unsigned long> net_wm_icon(std::span<const char* const> xpm,
                                       std::span<const int> sizes) {
  int w = 0, h = 0, colours = 0, chars = 0;
  if (xpm.empty() || std::sscanf(xpm[0], "%d %d %d %d", &w, &h, &colours, &chars) != 4) return {};
  if (w <= 0 || h <= 0 || colours <= 0 || chars <= 0 || chars > 4) return {};
  if (xpm.size() < 1 + static_cast<std::size_t>(colours) + static_cast<std::size_t>(h)) return {};
  std::map<std::string_view, unsigned long> palette;
  for (int i = 1; i <= colours; ++i) {
    const std::string_view line = xpm[i];
    if (line.size() <= static_cast<std::size_t>(chars)) return {};
    const std::optional<unsigned long> colour = xpm_colour(line.substr(chars));
    if (!colour) return {};
    palette[line.substr(0, chars)] = *colour;
  }
  std::vector<unsigned long> pixels;
  for (int y = 0; y < h; ++y) {
    const std::string_view row = xpm[1 + colours + y];
    if (row.size() != static_cast<std::size_t>(w * chars)) return {};
    for (int x = 0; x < w; ++x) {
      const auto colour = palette.find(row.substr(x * chars, chars));
      if (colour == palette.end()) return {};
      pixels.push_back(colour->second);
    }
  }
  std::vector<unsigned long> icon;
  for (const int size : sizes) {
    icon.push_back(static_cast<unsigned long>(size));
    icon.push_back(static_cast<unsigned long>(size));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) icon.push_back(pixels[(y * h / size) * w + x * w / size]);
  }
  return icon;
}

std::span<const char* const> window_icon_picture() {
  return mirvo_icon;
}

void set_window_icon() {
  static const std::vector<unsigned long> icon = net_wm_icon(mirvo_icon, WINDOW_ICON_SIZES);
  const XWindowLock x;
  if (x.display == nullptr || x.window == 0 || icon.empty()) return;
  // Format 32 properties travel as C longs, whatever their width.
  XChangeProperty(x.display, x.window, XInternAtom(x.display, "_NET_WM_ICON", False), XA_CARDINAL,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                  static_cast<int>(icon.size()));
  XFlush(x.display);
}
