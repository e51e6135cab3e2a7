// The script interpreter: one instruction of one enemy at a time, and the
// run-until-yield rule that drives an enemy's script once per tick.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "world/world.h"

std::FILE* unknown_opcode_stream = stdout;

namespace {

// Which opcodes were reported since the level started; the last entry stands
// for every value outside a byte, which a loaded script never holds.
std::array<bool, 257> reported_opcodes{};

void report_unknown_opcode(std::int32_t opcode) {
  bool& reported = reported_opcodes[opcode >= 0 && opcode <= 255 ? opcode : 256];
  if (reported) return;
  reported = true;
  std::fprintf(unknown_opcode_stream, "Unknown OpCode %d\n", static_cast<int>(opcode));
}

using Operands = std::array<std::int16_t, 8>;

// The longest burst the driving rule runs in one tick. A script that yields
// runs at most its own length plus the part before its first yield after a
// restart, so four script lengths is only ever reached by a loop that never
// yields; such a burst stops there and goes on in the next tick.
constexpr int MAX_BURST = 4 * MAX_SCRIPT_LENGTH;

float hundredths(std::int16_t operand) {
  return static_cast<float>(operand / 100.0);
}

bool yields(std::int32_t opcode) {
  return opcode == OP_WAIT || opcode == OP_END || opcode == OP_REMOVE;
}

// A shot type is filled when start-up gave it its archive: the renderers draw
// every bullet from its type's archive, so a bullet of an empty entry could
// not be drawn.
bool shot_type_filled(int type) {
  return type >= 1 && type <= MAX_SHOT_TYPES && shot_types[type - 1].data != nullptr;
}

// An enemy type can be spawned when the enemy file gave it an archive; the
// level director borrows the first entry and is never drawn.
bool enemy_type_loaded(int type) {
  if (type == LEVEL_DIRECTOR) return true;
  return type >= 1 && type <= MAX_ENEMY_TYPES && enemy_types[type - 1].data != nullptr;
}

bool pc_inside_copy(const Enemy& e) {
  return e.pc >= 0 && e.pc < e.script_length && e.pc < MAX_SCRIPT_LENGTH;
}

// The enemy stands on a wait_health whose health is not yet reached: the
// instruction keeps its place and ends the tick's burst.
bool holds_for_health(const Enemy& e) {
  if (!rules.wait_health || !pc_inside_copy(e)) return false;
  const ScriptInstruction& in = e.script[e.pc];
  return in.opcode == OP_WAIT_HEALTH && e.health > static_cast<float>(in.operands[0]);
}

void fire(int slot, const Operands& op) {
  if (!shot_type_filled(op[0])) return;
  spawn_bullet(slot, op[0], op[1], op[2], hundredths(op[3]), hundredths(op[4]), op[5], op[6]);
}

// One bullet from the enemy's position plus the offsets (operands 2 and 3),
// whose 3 x 3 box's centre travels towards the centre of the ship's box as it
// is now, at operand 1 hundredths of a pixel per tick. A ship whose centre is
// exactly the bullet's gets it straight down.
void fire_aimed(int slot, const Operands& op) {
  if (!shot_type_filled(op[0])) return;
  const Enemy& e = enemies[slot];
  const double half_box = BULLET_BOX / 2.0;
  const double half_ship = SHIP_SIZE / 2.0;
  const double from_x = static_cast<double>(e.x + static_cast<float>(op[2])) + half_box;
  const double from_y = static_cast<double>(e.y + static_cast<float>(op[3])) + half_box;
  const double dx = player.x + half_ship - from_x;
  const double dy = player.y + half_ship - from_y;
  const double distance = std::hypot(dx, dy);
  const double speed = op[1] / 100.0;
  const double vx = distance > 0.0 ? speed * dx / distance : 0.0;
  const double vy = distance > 0.0 ? speed * dy / distance : speed;
  spawn_bullet(slot, op[0], -1.0f, -1.0f, static_cast<float>(vx), static_cast<float>(vy), op[2],
               op[3]);
}

void spawn(const Operands& op) {
  // A bad script number is refused by the spawner itself (no script to copy).
  if (!enemy_type_loaded(op[0])) return;
  spawn_enemy(op[0], op[1], op[2], op[3], hundredths(op[4]), hundredths(op[5]), op[6], op[7]);
}

}  // namespace

void forget_reported_opcodes() {
  reported_opcodes.fill(false);
}

// Runs Enemy.script[pc] of `slot` and moves pc on (to 0 after OP_RESTART). A pc
// outside the copied script means the script ran off its end: with nothing
// left to do, the enemy is removed as by OP_REMOVE.
void execute_script_instruction(int slot) {
  if (slot < 0 || slot >= MAX_ENEMIES) return;
  Enemy& e = enemies[slot];
  if (!pc_inside_copy(e)) {
    e.type = 0;
    return;
  }
  const ScriptInstruction& instruction = e.script[e.pc];
  const auto& op = instruction.operands;
  switch (instruction.opcode) {
    case OP_WAIT:
      e.wait = op[0];
      break;
    case OP_SET_VELOCITY:
      e.vx = hundredths(op[0]);
      e.vy = hundredths(op[1]);
      break;
    case OP_FIRE:
      fire(slot, op);
      break;
    case OP_FIRE_AIMED:
      fire_aimed(slot, op);
      break;
    case OP_SPAWN:
      spawn(op);
      break;
    case OP_RESTART:
      e.pc = 0;
      return;
    case OP_REMOVE:
      e.type = 0;
      break;
    case OP_SET_ANGLE:
      e.angle = op[0];
      break;
    case OP_WAIT_HEALTH:
      if (!rules.wait_health) {
        report_unknown_opcode(instruction.opcode);
        break;
      }
      if (holds_for_health(e)) return;
      break;
    case OP_SKIP_UNLESS:
      if (!rules.chooses_difficulty) {
        report_unknown_opcode(instruction.opcode);
        break;
      }
      // A jump within the burst: a count below 0 skips nothing, and a skip
      // past the end leaves pc outside the copy, which removes the enemy.
      if (rules.difficulty < op[0]) e.pc += std::max<int>(op[1], 0);
      break;
    default:
      report_unknown_opcode(instruction.opcode);
      break;
  }
  e.pc += 1;
}

// Runs the instructions up to and including the next yielding one, or up to a
// wait_health that still holds. The burst also ends when the slot is freed
// (OP_REMOVE, or running off the script) or after MAX_BURST instructions
// without a yield.
void run_script(int slot) {
  if (slot < 0 || slot >= MAX_ENEMIES) return;
  Enemy& e = enemies[slot];
  if (e.type <= 0) return;
  if (e.wait != 0 || !(e.health > 0.0f)) {
    // A negative wait moves away from 0; it stops short of wrapping round.
    if (e.wait != INT_MIN) e.wait -= 1;
    return;
  }
  for (int executed = 0; executed < MAX_BURST && e.type > 0; ++executed) {
    const bool last = pc_inside_copy(e) && yields(e.script[e.pc].opcode);
    if (holds_for_health(e)) return;
    execute_script_instruction(slot);
    if (last) return;
  }
}
