// Where screenshots go and what they are named, how a scaled screen is
// brought back to the playfield's size, and the window's icon as the desktop
// reads it.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "shell/shell_local.h"

namespace {

const char* show(const char* s) {
  return s != nullptr ? s : "(unset)";
}

}  // namespace

TEST(ScreenshotFolder, PicturesFolderAsXdgUserDirsReadsIt) {
  const struct {
    const char* user_dirs;  // text of user-dirs.dirs
    const char* env;        // XDG_PICTURES_DIR
    const char* home;
    const char* pictures;
  } cases[] = {
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", nullptr, "/home/p", "/home/p/Pictures"},
      {"# made by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
       "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n",
       nullptr, "/home/p", "/home/p/Bilder"},
      {"XDG_PICTURES_DIR=\"/srv/shots\"", nullptr, "/home/p", "/srv/shots"},
      {"XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"\n", nullptr, "/home/p", "/home/p/My \"Pics\""},
      {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"$HOME/b\"\n", nullptr, "/home/p",
       "/home/p/b"},  // read by a shell: the last one counts
      {"#XDG_PICTURES_DIR=\"$HOME/old\"\n", nullptr, "/home/p", ""},
      {"XDG_PICTURES_DIR=\"$HOME\"\n", nullptr, "/home/p", ""},  // turned off
      {"XDG_PICTURES_DIR=\"$HOME/\"\n", nullptr, "/home/p/", ""},
      {"XDG_PICTURES_DIR=\"Pictures\"\n", nullptr, "/home/p", ""},  // neither form
      {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", nullptr, "/home/p", ""},
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\n", nullptr, "/home/p", ""},  // unclosed quote
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", nullptr, nullptr, ""},
      {"", "/data/pics", "/home/p", "/data/pics"},
      {"", "$HOME/Fotos", "/home/p", "/home/p/Fotos"},
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "/data/pics", "/home/p", "/home/p/Pictures"},
      {"", nullptr, "/home/p", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(xdg_pictures_dir(c.user_dirs, c.env, c.home), c.pictures)
        << c.user_dirs << " / " << show(c.env) << " / " << show(c.home);
}

TEST(ScreenshotFolder, PicturesThenXdgDataHomeThenHome) {
  const struct {
    const char* pictures;
    const char* data_home;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/home/p/Pictures", "/x/data", "/home/p", "/home/p/Pictures/Mirvo"},
      {"", "/x/data", "/home/p", "/x/data/mirvo/screenshots"},
      {"", nullptr, "/home/p", "/home/p/.local/share/mirvo/screenshots"},
      {"", "relative/data", "/home/p", "/home/p/.local/share/mirvo/screenshots"},
      {"", "", "/home/p", "/home/p/.local/share/mirvo/screenshots"},
      {"", nullptr, nullptr, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(screenshot_folder(c.pictures, c.data_home, c.home), c.folder)
        << c.pictures << " / " << show(c.data_home) << " / " << show(c.home);
}

TEST(ScreenshotName, DateAndTimeThenRepeatThenShownSize) {
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 8;
  when.tm_hour = 9;
  when.tm_min = 5;
  when.tm_sec = 7;
  EXPECT_EQ(screenshot_name(when, 1), "mirvo-2026-12-08-09-05-07.png");
  EXPECT_EQ(screenshot_name(when, 1, 640, 800), "mirvo-2026-12-08-09-05-07-640x800.png");
  EXPECT_EQ(screenshot_name(when, 3), "mirvo-2026-12-08-09-05-07-3.png");
  EXPECT_EQ(screenshot_name(when, 3, 960, 1200), "mirvo-2026-12-08-09-05-07-3-960x1200.png");
}

// A picture enlarged by repeating each pixel comes back exactly, at every
// whole factor; a block of mixed colours gives their rounded mean.
TEST(ShrinkPicture, UndoesWholeNumberScaling) {
  std::mt19937 random(7);
  const int w = 5, h = 4;
  std::vector<std::uint32_t> small(w * h);
  for (auto& p : small) p = random() & 0xffffff;
  for (int factor = 1; factor <= 4; ++factor) {
    std::vector<std::uint32_t> big(w * factor * h * factor);
    for (int y = 0; y < h * factor; ++y)
      for (int x = 0; x < w * factor; ++x)
        big[y * w * factor + x] = small[y / factor * w + x / factor];
    EXPECT_EQ(shrink_picture(big, w * factor, h * factor, factor), small) << factor;
  }
  const std::vector<std::uint32_t> mixed = {0x000000, 0xff0001, 0x00ff01, 0x0000ff};
  EXPECT_EQ(shrink_picture(mixed, 2, 2, 2), std::vector<std::uint32_t>{0x404040});
  const std::vector<std::uint32_t> half = {0x000000, 0x010000, 0x000100, 0x000002};
  EXPECT_EQ(shrink_picture(half, 2, 2, 2), std::vector<std::uint32_t>{0x000001});
}

// ---- The window's icon ----

TEST(WindowIcon, EnlargedByWholePixelsWithTransparencyClear) {
  const char* xpm[] = {"2 2 3 1 ", "a c #102030", "b c None", "c c #FFFFFF", "ab", "ca"};
  const int sizes[] = {2, 4};
  const std::vector<unsigned long> icon = net_wm_icon(xpm, sizes);
  ASSERT_EQ(icon.size(), 2 + 4 + 2 + 16u);
  const unsigned long a = 0xff102030, c = 0xffffffff;
  EXPECT_EQ(std::vector<unsigned long>(icon.begin(), icon.begin() + 6),
            (std::vector<unsigned long>{2, 2, a, 0, c, a}));
  EXPECT_EQ(std::vector<unsigned long>(icon.begin() + 6, icon.end()),
            (std::vector<unsigned long>{4, 4, a, a, 0, 0, a, a, 0, 0, c, c, a, a, c, c, a, a}));
}

TEST(WindowIcon, PicturesItCannotReadGiveNothing) {
  const int sizes[] = {16};
  const std::vector<std::vector<const char*>> refused = {
      {},
      {"2 2 1"},                               // no chars per pixel
      {"2 2 1 1", "a c #000000", "aa"},        // a row short
      {"2 2 1 1", "a c #000000", "aa", "a"},   // a short row
      {"2 2 1 1", "a c #000000", "aa", "ab"},  // no colour for b
      {"2 1 1 1", "a c red", "aa"},            // a colour by name
      {"2 1 1 1", "a c #00000g", "aa"},        // not hexadecimal
      {"2 1 1 1", "a c #000000000000", "aa"},  // 16 bits a channel
      {"2 1 1 1", "a m #000000", "aa"},        // no colour for colour displays
      {"0 1 1 1", "a c #000000", ""},          // no width
  };
  for (const auto& xpm : refused) {
    EXPECT_TRUE(net_wm_icon(xpm, sizes).empty()) << (xpm.empty() ? "(none)" : xpm[0]);
  }
}

// The picture built into the game is the icon of "data.dat" (both come from
// data/sprites/icon.txt): every opaque pixel in its colour, the rest clear.
TEST(WindowIcon, BuiltPictureIsTheShipIcon) {
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  set_color_depth(32);
  set_color_conversion(COLORCONV_TOTAL | COLORCONV_KEEP_TRANS);
  DATAFILE* data = load_datafile(MIRVO_GAME_DIR "/data.dat");
  ASSERT_NE(data, nullptr);
  const BITMAP* bmp = static_cast<BITMAP*>(data[2].dat);
  const int sizes[] = {16};
  const std::vector<unsigned long> icon = net_wm_icon(window_icon_picture(), sizes);
  ASSERT_EQ(icon.size(), 2 + 16 * 16u);
  const int depth = bitmap_color_depth(const_cast<BITMAP*>(bmp));
  int opaque = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int c = getpixel(const_cast<BITMAP*>(bmp), x, y);
      const bool clear = c == makecol_depth(depth, 255, 0, 255);
      const unsigned long want =
          clear ? 0ul
                : 0xff000000ul |
                      static_cast<unsigned long>(getr_depth(depth, c) << 16 |
                                                 getg_depth(depth, c) << 8 | getb_depth(depth, c));
      EXPECT_EQ(icon[2 + y * 16 + x], want) << x << "," << y;
      opaque += clear ? 0 : 1;
    }
  EXPECT_GT(opaque, 100);
  unload_datafile(data);
}
