// F12 keeps what the screen shows as PNG files in the player's pictures
// folder, and the window carries Mirvo's icon as the desktop reads it.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "screens.h"

namespace {

namespace fs = std::filesystem;

// The PNG files in folder, by name.
std::vector<fs::path> pngs_in(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".png") files.push_back(it->path());
  std::sort(files.begin(), files.end());
  return files;
}

int lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

struct ShotCase {
  const char* name;
  const char* cfg;
  bool in_play;
  bool user_dirs;  // the player's user-dirs.dirs names a pictures folder
  int factor;      // how many times the window shows the playfield enlarged
};

class Screenshot : public Scenario, public ::testing::WithParamInterface<ShotCase> {
 protected:
  fs::path folder() const {
    return GetParam().user_dirs ? s->folder.root() / "Bilder" / "Mirvo"
                                : s->folder.root() / ".local/share/mirvo/screenshots";
  }

  // Presses F12 and waits for the game's line on standard error; the files it names.
  std::vector<fs::path> press_f12(std::size_t files_before) {
    const int lines_before = lines(s->game_stderr());
    s->keys({"F12"});
    EXPECT_TRUE(wait_until([&] { return lines(s->game_stderr()) > lines_before; }, 10000ms))
        << "F12 said nothing";
    const std::string err = s->game_stderr();
    EXPECT_EQ(lines(err), lines_before + 1) << err;
    EXPECT_NE(err.find("Mirvo: screenshot saved as " + folder().string() + "/mirvo-"),
              std::string::npos)
        << err;
    const std::vector<fs::path> files = pngs_in(folder());
    EXPECT_EQ(files.size(), files_before + (GetParam().factor > 1 ? 2 : 1));
    return files;
  }
};

INSTANTIATE_TEST_SUITE_P(
    Cases, Screenshot,
    ::testing::Values(ShotCase{"SoftwareMenuIntoPictures", "", false, true, 1},
                      ShotCase{"SoftwareDoubledPlay", "scale = 1\n", true, false, 2},
                      ShotCase{"OpenGLMenu", "renderer = 1\n", false, false, 1},
                      ShotCase{"OpenGLDoubledPlayIntoPictures", "renderer = 1\nscale = 1\n", true,
                               true, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The playfield-sized picture is the screen brought back to 320 x 400, the
// other one the screen as shown; two presses in one second get two names.
TEST_P(Screenshot, F12SavesTheScreenAtPlayfieldAndShownSize) {
  s = std::make_unique<Session>();
  s->folder.write("mirvo.cfg", GetParam().cfg);
  if (GetParam().user_dirs) {
    fs::create_directories(s->folder.root() / ".config");
    fs::create_directories(s->folder.root() / "Bilder");
    std::ofstream(s->folder.root() / ".config" / "user-dirs.dirs")
        << "# written by the test\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  }
  s->start_game();
  ASSERT_TRUE(menu(0));
  if (GetParam().in_play) {
    s->keys({"Return"});
    ASSERT_TRUE(play());
  }
  const std::vector<fs::path> files = press_f12(0);
  ASSERT_FALSE(files.empty());
  const int k = GetParam().factor;
  // "mirvo-<date>-<time>.png", and "...-640x800.png" beside it when doubled.
  const auto small_file = std::find_if(files.begin(), files.end(), [](const fs::path& f) {
    return f.stem().string().find('x') == std::string::npos;
  });
  ASSERT_NE(small_file, files.end());
  const Image small = load_png_image(small_file->string());
  ASSERT_EQ(std::make_pair(small.width, small.height), std::make_pair(320, 400));
  const Image screen = s->shot();
  ASSERT_EQ(screen.width, 320 * k);
  if (k > 1) {
    ASSERT_EQ(files.size(), 2u);
    const fs::path big_file = small_file == files.begin() ? files.back() : files.front();
    EXPECT_EQ(big_file.filename().string(), small_file->stem().string() + "-640x800.png");
    const Image big = load_png_image(big_file.string());
    ASSERT_EQ(std::make_pair(big.width, big.height), std::make_pair(640, 800));
    // The smaller picture is the larger one averaged over 2 x 2 blocks: where
    // a block is one colour it is that colour.
    EXPECT_LT(count_differences(small, shrink(big, 2), small.whole(), 40), 320 * 400 / 50);
    EXPECT_TRUE(play_shows(big));
  }
  if (GetParam().in_play) {
    // Play moves on after the picture: it shows the head-up display (drawn
    // by OpenGL in window pixels, so in a doubled window whole only in the
    // shown-size picture, checked above).
    if (k == 1) {
      EXPECT_TRUE(play_shows(small));
    }
  } else {
    // The menu stands still: the picture is what the window shows.
    EXPECT_EQ(count_differences(small, shrink(screen, k), small.whole(), 8), 0);
    EXPECT_TRUE(menu_shows(small, 0));
  }
  press_f12(files.size());
}

// A folder that cannot be made: one line says so and the game goes on.
TEST_F(Scenario, AFailedScreenshotIsOneLineAndTheGameGoesOn) {
  s = std::make_unique<Session>();
  s->folder.write("blocker", "a file where a folder would go\n");
  s->start_game({"XDG_DATA_HOME=" + s->folder.file("blocker").string()});
  ASSERT_TRUE(menu(0));
  const std::string before = s->game_stderr();
  s->keys({"F12"});
  ASSERT_TRUE(wait_until([&] { return lines(s->game_stderr()) > lines(before); }, 10000ms));
  const std::string err = s->game_stderr();
  EXPECT_EQ(err.substr(before.size()).rfind("Mirvo: no screenshot: ", 0), 0u) << err;
  EXPECT_EQ(lines(err), lines(before) + 1) << err;
  s->keys({"Down"});
  EXPECT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 5000ms));
  s->keys({"Escape", "Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

// ---- The window's icon ----

namespace {

// _NET_WM_ICON of the window as xprop prints it in decimal: one number after another.
std::vector<unsigned long> net_wm_icon(Session& s, unsigned long window) {
  const fs::path out = s.folder.root() / "xprop.txt";
  ChildProcess xprop;
  xprop.start({"xprop", "-id", std::to_string(window), "-notype", "-f", "_NET_WM_ICON", "32c",
               " $0+\n", "_NET_WM_ICON"},
              environment_with_display(s.display()), "", out.string(), "");
  EXPECT_EQ(xprop.wait_exit(10000ms), std::optional<int>(0));
  std::ifstream in(out);
  std::string name;
  in >> name;  // "_NET_WM_ICON"
  std::vector<unsigned long> values;
  std::string word;
  while (in >> word) {
    unsigned long v = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (error != std::errc() || (end != word.data() + word.size() && *end != ',')) {
      ADD_FAILURE() << "xprop says: " << name << " " << word;  // "not found."
      return {};
    }
    values.push_back(v);
  }
  return values;
}

// Each icon of the value is the 16 x 16 icon of "data.dat" (object 2, from
// data/sprites/icon.txt) enlarged by whole pixels: opaque pixels in their
// colour, transparent ones clear. Returns the sizes found.
std::vector<int> check_icons(const std::vector<unsigned long>& value, const Picture& icon) {
  std::vector<int> sizes;
  std::size_t at = 0;
  while (at + 2 <= value.size()) {
    const int w = static_cast<int>(value[at]), h = static_cast<int>(value[at + 1]);
    at += 2;
    if (w != h || w % icon.width != 0 || at + w * h > value.size()) {
      ADD_FAILURE() << "an icon of " << w << " x " << h << " at " << at;
      return sizes;
    }
    const int k = w / icon.width;
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgb c = icon.at(x / k, y / k);
        const unsigned long want =
            icon.solid(x / k, y / k) ? 0xff000000ul | c.r << 16 | c.g << 8 | c.b : 0ul;
        wrong += value[at + y * w + x] != want ? 1 : 0;
      }
    EXPECT_EQ(wrong, 0) << "pixels unlike the icon at " << w << " x " << h;
    sizes.push_back(w);
    at += static_cast<std::size_t>(w) * h;
  }
  EXPECT_EQ(at, value.size());
  return sizes;
}

}  // namespace

using WindowIcon = OptionsScenario;

// The software window has it from the start, and the OpenGL window the
// program makes after Accept has it again.
TEST_F(WindowIcon, NetWmIconIsMirvosIconInBothRenderers) {
  const Picture icon = load_picture((game_dir() / "data.dat").string(), 2);
  ASSERT_EQ(std::make_pair(icon.width, icon.height), std::make_pair(16, 16));
  start();
  const std::optional<GameWindow> first = s->wait_window(15000ms);
  ASSERT_TRUE(first);
  EXPECT_EQ(check_icons(net_wm_icon(*s, first->id), icon), (std::vector<int>{16, 32, 48, 64}));

  const std::optional<Image> screen = open_options();
  ASSERT_TRUE(screen);
  const int mapped = s->windows_mapped();
  ASSERT_TRUE(change_value("Renderer:", *screen, "Right")) << "Right did not change Renderer:";
  ASSERT_TRUE(accept_from("Renderer:"));
  const std::optional<GameWindow> again = restarted(mapped);
  ASSERT_TRUE(again) << "no new window after Accept";
  ASSERT_TRUE(menu(0));
  EXPECT_EQ(check_icons(net_wm_icon(*s, again->id), icon), (std::vector<int>{16, 32, 48, 64}));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}
