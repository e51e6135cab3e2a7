#include <algorithm>
#include <charconv>
#include <cstring>

#include "render/hud_local.h"

// Writes value at out and returns the position after it; out has room for
// any int (11 characters).
static char* put_int(char* out, char* end, int value) {
  return std::to_chars(out, end, value).ptr;
}

HudText format_score(int value, int multiplier) {
  HudText text{};
  char* const end = text.data() + text.size() - 1;
  char* out = text.data();
  if (multiplier > 1) {
    *out++ = 'x';
    out = put_int(out, end, multiplier);
    for (int gap = 0; gap < 2 && out < end; ++gap) *out++ = ' ';
  }
  put_int(out, end, value);
  return text;
}

HudText format_power(int power) {
  HudText text{};
  if (power <= 0) return text;
  std::memcpy(text.data(), "PWR ", 4);  // NOLINT(bugprone-not-null-terminated-result)
  put_int(text.data() + 4, text.data() + text.size() - 1, power);
  return text;
}

HudText format_fps_line(int fps, const char* renderer_name) {
  HudText text{};
  char* const end = text.data() + text.size() - 1;  // the last byte stays NUL
  char* out = text.data();
  // The pieces are joined without their NULs; the array's last byte ends the text.
  std::memcpy(out, "FPS: ", 5);  // NOLINT(bugprone-not-null-terminated-result)
  out = put_int(out + 5, end, fps);
  std::memcpy(out, " | ", 3);  // NOLINT(bugprone-not-null-terminated-result)
  out += 3;
  const std::size_t room = static_cast<std::size_t>(end - out);
  std::strncpy(out, renderer_name, room);
  return text;
}

EnergyBarColour energy_bar_colour(int energy) {
  // Wrapping in unsigned arithmetic keeps energies outside 0..10 defined.
  const unsigned e = static_cast<unsigned>(energy);
  return {static_cast<std::uint8_t>((250u - 25u * e) & 0xFFu),
          static_cast<std::uint8_t>((25u * e) & 0xFFu)};
}

DevicePoint to_device(float x, float y) {
  return {x * DEVICE_X_PER_PIXEL - 1.0f, 1.0f - y * DEVICE_Y_PER_PIXEL};
}

std::array<QuadCorner, 4> quad_corners(float x, float y, float w, float h, float u, float v) {
  return {{{0.0f, v, to_device(x, y)},
           {0.0f, 0.0f, to_device(x, y + h)},
           {u, 0.0f, to_device(x + w, y + h)},
           {u, v, to_device(x + w, y)}}};
}

FpsLine fps_line(const Rules& r, int asked, int fps, const char* renderer_name, int doubled) {
  FpsLine line;
  if (!r.fps_on_request) {
    line.text = format_fps_line(fps, renderer_name);
    line.y = 390 + (doubled != 0 ? 400 : 0);
    return line;
  }
  if (asked == 0) return line;
  char* const end = line.text.data() + line.text.size() - 1;
  char* out = put_int(line.text.data(), end, fps);
  for (const char c : {' ', 'f', 'p', 's'})
    if (out < end) *out++ = c;
  line.x = 1;
  line.y = 1;
  return line;
}

GlHudLayout gl_hud_layout(int doubled) {
  const int s = doubled != 0 ? 1 : 0;
  return {310 + 320 * s, 10, 10 + 11 * s, 10 + 11 * s, 110 + 112 * s, 20 + 20 * s};
}

HudText format_bombs(const Rules& r, int bombs) {
  HudText text{};
  if (!r.bombs) return text;
  char* const end = text.data() + text.size() - 1;
  std::memcpy(text.data(), "BOMB x", 6);  // NOLINT(bugprone-not-null-terminated-result)
  put_int(text.data() + 6, end, bombs);
  return text;
}

HudPoint bombs_place(int doubled) {
  const int s = doubled != 0 ? 1 : 0;
  return {310 + 320 * s, 390 + 400 * s};
}

MessageText message_text(const Message& m) {
  MessageText text{};
  for (int k = 0; k < MESSAGE_TEXT_SIZE && m.text[k] != '\0'; ++k) text[k] = m.text[k];
  return text;
}

PlayfieldShift playfield_shift(const ScreenFeedback& f, int effects_on) {
  if (effects_on == 0 || f.shake_left <= 0) return {};
  // SHAKE_PIXELS at the start, down to 1 at the end, rounded up.
  const int reach =
      std::min(SHAKE_PIXELS, (f.shake_left * SHAKE_PIXELS + SHAKE_TICKS - 1) / SHAKE_TICKS);
  // Right and left every tick, down and up every second tick.
  return {f.shake_left % 2 == 0 ? reach : -reach, f.shake_left % 4 < 2 ? reach : -reach};
}

int flash_strength(const ScreenFeedback& f, int effects_on) {
  if (effects_on == 0 || f.flash_left <= 0) return 0;
  return std::min(255, 64 * f.flash_left);
}

EnergyFlash energy_flash(const ScreenFeedback& f, int energy) {
  // Shown on every other span of four ticks, from the first.
  if (f.energy_flash_left <= 0 || (f.energy_flash_left / 4) % 2 != 0) return {};
  const int now = std::max(energy, 0);
  if (f.energy_lost_from <= now) return {};
  return {ENERGY_BAR_STEP * now, ENERGY_BAR_STEP * (f.energy_lost_from - now)};
}

BossBar boss_bar() {
  BossBar bar;
  const int slot = living_boss();
  if (slot < 0) return bar;
  const Enemy& e = enemies[slot];
  const EnemyType& type = enemy_types[e.type - 1];
  const float full = static_cast<float>(std::max(type.health, 1));
  const auto pixels = [full](float health) {
    return std::clamp(static_cast<int>(health / full * BOSS_BAR_W + 0.5f), 0, BOSS_BAR_W);
  };
  bar.shown = true;
  bar.name = type.name.data();
  bar.filled = pixels(e.health);
  const int length = std::clamp(e.script_length, 0, MAX_SCRIPT_LENGTH);
  for (int i = 0; i < length && bar.mark_count < MAX_BOSS_MARKS; ++i) {
    const ScriptInstruction& in = e.script[i];
    const int at = pixels(static_cast<float>(in.operands[0]));
    if (in.opcode == OP_WAIT_HEALTH && at > 0 && at < BOSS_BAR_W) bar.marks[bar.mark_count++] = at;
  }
  return bar;
}
