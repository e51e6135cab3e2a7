// The screens that end a game under rules that end games: game over with its
// continues, the ending, the name entry and the score table, and the walk
// from the end of play through them back to the main menu.
#include <alleggl.h>
#include <allegro.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/replays_local.h"
#include "shell/screens_local.h"

FolderCampaign folder_campaign;

namespace {

constexpr int TRANSPARENT = -1;  // text background

// A screen's text: its heading and its lines, each in its own colour.
struct PageText {
  std::string heading;
  std::vector<std::string> lines;
  int highlight = -1;  // the line drawn in red
};

void draw_text_page(BITMAP* page, const PageText& text) {
  clear_to_color(page, makecol(0, 0, 0));
  const int white = makecol(255, 255, 255);
  textout_centre_ex(page, menu_font(), text.heading.c_str(), PLAYFIELD_W / 2, SCREEN_HEADING_Y,
                    white, TRANSPARENT);
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    const int line = static_cast<int>(i);
    textout_centre_ex(page, font, text.lines[i].c_str(), PLAYFIELD_W / 2, screen_line_y(line),
                      item_colour(line, text.highlight), TRANSPARENT);
  }
}

// Shows what `text` gives until `done` says a key ended the screen. Enter and
// Escape are heard as in the menus.
void run_screen(const std::function<PageText()>& text,
                const std::function<bool(const ScreenKey&)>& done, MusicTrack music = MUSIC_MENU) {
  play_music(music);
  if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
  BITMAP* page = make_page();
  clear_keybuf();
  for (;;) {
    draw_text_page(page, text());
    show_page(page);
    const ScreenKey key = wait_for_screen_key();
    play_menu_key(key.scancode, false);
    if (done(key)) break;
  }
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
}

std::string printed(const char* format, int a, int b = 0) {
  char line[64];
  std::snprintf(line, sizeof line, format, a, b);
  return line;
}

// Now as ISO 8601 local time, to the second.
std::string date_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The campaign as the score table can store it: printable, without quotes.
std::string table_campaign(std::string name) {
  for (char& c : name)
    if (c < ' ' || c > '~' || c == '"' || c == '\\') c = '?';
  return name.empty() ? "Mirvo" : name.substr(0, 64);
}

std::string score_file() {
  return scores_path(std::getenv("XDG_DATA_HOME"), home_dir());
}

std::vector<ScoreEntry> read_scores(const std::string& path) {
  return path.empty() ? std::vector<ScoreEntry>{} : load_scores(path);
}

// After a lost game declined or a won one: its recording written, the name
// asked for when the score makes the table (a practice game never does), the
// table written at once, then shown. No game runs after.
void finish_game(const GameSummary& game, GameEnd end) {
  game_running = 0;
  const bool practice = recording_is_practice();
  const std::string replay = end_game_recording(end);
  const std::string path = score_file();
  std::vector<ScoreEntry> entries = read_scores(path);
  ScoreEntry entry{"",
                   game.score,
                   game.level,
                   date_now(),
                   game.continues_used,
                   table_campaign(game.campaign),
                   game.difficulty,
                   replay};
  std::vector<ScoreEntry> trial = entries;
  int place = practice ? -1 : add_score(trial, entry);
  if (place >= 0) {
    entry.name = name_entry_screen(game.score);
    place = add_score(entries, entry);
    if (path.empty())
      std::fprintf(stderr, "mirvo: the score table is not saved: there is no home folder\n");
    else
      save_scores(path, entries);
  }
  prune_replays(entries);
  score_table_screen(entries, entry.campaign, entry.difficulty, place);
  read_folder_campaign();
}

}  // namespace

void leave_game() {
  if (end_game_recording(GameEnd::left).empty()) return;
  prune_replays(read_scores(score_file()));
}

void read_folder_campaign() {
  folder_campaign = FolderCampaign{};
  if (const CommandCampaign* command = command_line_campaign(); command && !command->one_level) {
    // A --campaign's own rules and name; a --level takes the folder's, read below.
    folder_campaign.rules = command->campaign.rules;
    folder_campaign.name = table_campaign(command->campaign.name);
    return;
  }
  const WholeFile in = read_whole_file(CAMPAIGN_FILE, MAX_TEXT_FILE_BYTES);
  if (!in.opened || in.error != 0) return;
  const Campaign campaign = parse_campaign(in.bytes, CAMPAIGN_FILE);
  if (!campaign.error.empty()) return;
  folder_campaign.rules = campaign.rules;
  folder_campaign.name = table_campaign(campaign.name);
}

GameOverAnswer game_over_screen(const GameSummary& game) {
  GameOverAnswer answer = GameOverAnswer::waiting;
  const int offered = game.continues_used + game.continues_left;
  PageText text{"Game over",
                {printed("Score %d", game.score), printed("Level reached %d", game.level),
                 printed("Continues used %d of %d", game.continues_used, offered),
                 std::string("Difficulty ") + difficulty_name(game.difficulty), ""}};
  if (game.continues_left > 0) {
    text.lines.push_back(printed("Enter: continue (%d left)", game.continues_left));
    text.lines.push_back("Esc: give up");
  } else {
    text.lines.push_back("No continues left");
    text.lines.push_back("Enter or Esc: go on");
  }
  // The jingle the lost game began plays out under the screen.
  run_screen([&] { return text; },
             [&](const ScreenKey& key) {
               answer = game_over_answer(key.scancode, game.continues_left);
               return answer != GameOverAnswer::waiting;
             },
             MUSIC_GAME_OVER);
  return answer;
}

// Enter or Escape go on; a missing or unreadable text leaves just the score.
void ending_screen(int score) {
  const WholeFile in = read_whole_file(ENDING_FILE, MAX_ENDING_BYTES);
  PageText text{"The end", {}};
  if (in.error == 0 && in.opened)
    text.lines = ending_lines({reinterpret_cast<const char*>(in.bytes.data()), in.bytes.size()});
  else
    std::fprintf(stderr, "mirvo: %s: %s\n", ENDING_FILE, whole_file_problem(in).c_str());
  text.lines.push_back("");
  text.lines.push_back(printed("Final score %d", score));
  text.lines.push_back("Enter to go on");
  rewind_music(MUSIC_ENDING);
  run_screen(
      [&] { return text; },
      [](const ScreenKey& key) { return key.scancode == KEY_ENTER || key.scancode == KEY_ESC; },
      MUSIC_ENDING);
}

std::string name_entry_screen(int score) {
  NameEntry entry;
  run_screen(
      [&] {
        return PageText{"A new high score",
                        {printed("Score %d", score), "", "Name: " + entry.name + "_", "",
                         "Type your name, Enter to confirm"}};
      },
      [&](const ScreenKey& key) {
        // The close button comes as Escape: the score is kept under the name so far.
        name_entry_apply(entry, key.scancode, key.ascii);
        return entry.done;
      });
  return entered_name(entry);
}

// The difficulty as a heading rather than a column: a row of the table is
// 35 characters of the 8-pixel font, and "Normal" would take it past 320.
void score_table_screen(std::span<const ScoreEntry> all, const std::string& campaign,
                        int difficulty, int highlight) {
  const int opened = difficulty;
  const auto text = [&] {
    // The campaign, the difficulty, the columns' names, then a row per entry.
    const std::vector<ScoreEntry> entries = campaign_scores(all, campaign, difficulty);
    PageText page{"High scores",
                  {campaign, std::string("< ") + difficulty_name(difficulty) + " >"},
                  difficulty == opened && highlight >= 0 ? highlight + 3 : -1};
    page.lines.push_back(entries.empty() ? "No scores yet"
                                         : "    Name           Score Level Cont  ");
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const ScoreEntry& e = entries[i];
      // "*": the game's recording plays back to this very score.
      const bool proven = !e.replay.empty() && replay_proves(e, game_running == 0);
      char line[64];
      std::snprintf(line, sizeof line, "%2d. %-12s %7d %5d %4d %c", static_cast<int>(i) + 1,
                    e.name.c_str(), e.score, e.level, e.continues, proven ? '*' : ' ');
      page.lines.push_back(line);
    }
    page.lines.push_back("");
    page.lines.push_back("Left/Right: difficulty, Enter: go on");
    return page;
  };
  run_screen(text, [&](const ScreenKey& key) {
    difficulty = option_value_after(setting_row(&Settings::difficulty), difficulty, key.scancode);
    return key.scancode == KEY_ENTER || key.scancode == KEY_ESC;
  });
}

void show_high_scores() {
  score_table_screen(read_scores(score_file()), folder_campaign.name, settings.difficulty, -1);
}

int after_play(PlayEnd end) {
  in_menu = 1;
  if (end == PLAY_LEFT) return folder_campaign.rules.menus_in_window && game_running ? 1 : 0;
  while (end == PLAY_LOST && game_over_screen(game_summary()) == GameOverAnswer::continue_game) {
    continue_game();
    in_menu = 0;
    end = play_level("");
    in_menu = 1;
    if (end == PLAY_LEFT) return after_play(end);
  }
  if (end == PLAY_WON) ending_screen(game_summary().score);
  finish_game(game_summary(), end == PLAY_WON ? GameEnd::victory : GameEnd::game_over);
  return 0;
}
