// Nothing in a tick allocates: this file counts every malloc, calloc, realloc
// and operator new of the process (forwarding to glibc's own allocator) while
// many full ticks run over busy tables. AddressSanitizer owns the allocator,
// so under it the check is skipped.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "content/content.h"
#include "world_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define MIRVO_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIRVO_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef MIRVO_COUNT_ALLOCATIONS
#define MIRVO_COUNT_ALLOCATIONS 1
#endif

namespace {
bool counting = false;
long allocations = 0;

inline void count() {
  if (counting) ++allocations;
}
}  // namespace

#if MIRVO_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) {
  count();
  return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
  count();
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
  count();
  return __libc_realloc(p, size);
}
void free(void* p) {
  __libc_free(p);
}
}

void* operator new(std::size_t size) {
  count();
  if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  count();
  if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  __libc_free(p);
}
void operator delete[](void* p) noexcept {
  __libc_free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  __libc_free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  __libc_free(p);
}
#endif

namespace {

using fixture::live_enemies;
using fixture::live_particles;

class TickAllocations : public fixture::WorldTest {};

TEST_F(TickAllocations, CountingSeesAnAllocation) {
  if (!MIRVO_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizer owns the allocator";
  allocations = 0;
  counting = true;
  int* p = new int(3);
  char* copy = strdup("a library's own malloc");  // inside libc, as Allegro's would be
  counting = false;
  EXPECT_EQ(allocations, 2);
  delete p;
  std::free(copy);
  allocations = 0;
}

TEST_F(TickAllocations, FullTicksOverBusyTablesAllocateNothing) {
  if (!MIRVO_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizer owns the allocator";
  // Enemies that drift down, fire and die in an explosion; the director keeps
  // spawning more, so the enemy, bullet and particle tables stay busy.
  content_.define_enemy_type(1, 100, 0, 1, {{0, 4}, {2, 3, ANIM_EXPLODE | ANIM_VICTORY}, {-1, 1}});
  fixture::load_script_source(R"(
    script timeline:
      spawn type=1 script=gunner x=20 y=0 group=3 trigger=1
      spawn type=1 script=gunner x=140 y=10 vx=10 group=3
      spawn type=1 script=gunner x=260 y=20 vx=-10 group=3
      wait 3
      restart
    script gunner:
      velocity 0 80
      fire shot=1 x=self y=self vy=250 dx=20 dy=40
      fire shot=2 x=self y=self dx=18 dy=40
      wait 6
      restart
  )");
  spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  for (int i = 1; i < MAX_ENEMIES; ++i) {
    spawn_enemy(1, 2, float(i * 5 % 300), float(i % 8 * 40), 0.0f, 0.0f, 3, 0);
    enemies[i].health = 1.0f;
  }
  ASSERT_EQ(live_enemies(), MAX_ENEMIES);
  for (int j = 0; j < MAX_PLAYER_SHOTS; ++j) fire_player_shot(j % 2 + 1);

  key[KEY_SPACE] = 1;
  int most_particles = 0;
  // The game records every tick it plays; its tables are reserved up front.
  Recording recording = begin_recording(Campaign{}, 1, "player", "test");
  allocations = 0;
  counting = true;
  for (int t = 0; t < 2000; ++t) {
    key[KEY_LEFT] = (t / 140) % 2;
    key[KEY_RIGHT] = !key[KEY_LEFT];
    key[KEY_UP] = (t / 90) % 2;
    key[KEY_DOWN] = !key[KEY_UP];
    if (t % 500 == 0) player.energy = 10;
    const TickInput input = read_tick_input();
    run_tick(input);
    record_tick(recording, input_bits(input));
    const int n = live_particles();
    if (n > most_particles) most_particles = n;
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(most_particles, 1000) << "the particle table was never busy";
  EXPECT_GT(recording.inputs.size(), 20u) << "the recording never changed run";
}

}  // namespace
