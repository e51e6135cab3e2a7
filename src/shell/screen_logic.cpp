// The key handling of the screens that end a game, and the small sums they
// show, kept free of drawing so they can be checked without a window.
#include <allegro.h>

#include <algorithm>
#include <cctype>

#include "shell/screens_local.h"

namespace {

// The characters the stick turns through, in order.
constexpr std::string_view STICK_LETTERS =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

char stick_step(char c, int step) {
  const std::size_t at = STICK_LETTERS.find(c);
  const int n = static_cast<int>(STICK_LETTERS.size());
  const int from = at == std::string_view::npos ? 0 : static_cast<int>(at);
  return STICK_LETTERS[static_cast<std::size_t>((from + step + n) % n)];
}

}  // namespace

int pad_scancode(const PadState& before, const PadState& now) {
  if (now.button1 && !before.button1) return KEY_ENTER;
  if (now.button2 && !before.button2) return KEY_ESC;
  if (now.up && !before.up) return KEY_UP;
  if (now.down && !before.down) return KEY_DOWN;
  if (now.left && !before.left) return KEY_LEFT;
  if (now.right && !before.right) return KEY_RIGHT;
  return 0;
}

GameOverAnswer game_over_answer(int scancode, int continues_left) {
  if (scancode == KEY_ESC) return GameOverAnswer::decline;
  if (scancode != KEY_ENTER) return GameOverAnswer::waiting;
  return continues_left > 0 ? GameOverAnswer::continue_game : GameOverAnswer::decline;
}

void name_entry_apply(NameEntry& entry, int scancode, int ascii) {
  std::string& name = entry.name;
  const bool room = name.size() < MAX_SCORE_NAME;
  switch (scancode) {
    case KEY_ENTER:
    case KEY_ESC:  // the score is kept all the same: no key throws it away
      entry.done = true;
      return;
    case KEY_BACKSPACE:
    case KEY_LEFT:
      if (!name.empty()) name.pop_back();
      return;
    case KEY_UP:
    case KEY_DOWN:
      if (name.empty())
        name.push_back(STICK_LETTERS.front());
      else
        name.back() = stick_step(name.back(), scancode == KEY_UP ? 1 : -1);
      return;
    case KEY_RIGHT:
      if (room) name.push_back(STICK_LETTERS.front());
      return;
    default:
      break;
  }
  // Plain ASCII letters and digits only: what the score table stores as typed.
  const bool plain = ascii > 0 && ascii < 128 && std::isalnum(ascii) != 0;
  if (plain && room) name.push_back(static_cast<char>(ascii));
}

std::string entered_name(const NameEntry& entry) {
  return entry.name.empty() ? DEFAULT_SCORE_NAME : entry.name;
}

int counted_score(int from, int to, int ticks) {
  if (ticks >= TALLY_COUNT_TICKS || to <= from) return to;
  if (ticks <= 0) return from;
  const long long span = static_cast<long long>(to) - from;
  return from + static_cast<int>(span * ticks / TALLY_COUNT_TICKS);
}

std::vector<std::string> ending_lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty() && lines.size() < MAX_ENDING_LINES) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, std::min(end, ENDING_LINE_WIDTH)));
    for (char& c : line)
      if (c < ' ' || c > '~') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

const char* difficulty_name(int difficulty) {
  if (difficulty < 0 || difficulty > DIFFICULTY_HARD) difficulty = DIFFICULTY_NORMAL;
  return DIFFICULTY_NAMES[static_cast<std::size_t>(difficulty)];
}

std::vector<ScoreEntry> campaign_scores(std::span<const ScoreEntry> entries,
                                        const std::string& campaign, int difficulty) {
  std::vector<ScoreEntry> kept;
  for (const ScoreEntry& e : entries)
    if (e.campaign == campaign && e.difficulty == difficulty) kept.push_back(e);
  return kept;
}
