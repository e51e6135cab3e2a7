// mirvo-soundbuild: renders the sound effect recipes of data/sounds/ and the
// music scores of data/music/ to WAV files with sox, for "dat" and oggenc.
#include <cstdio>
#include <string>
#include <vector>

#include "common/process.h"
#include "common/text_source.h"
#include "soundbuild/recipe.h"
#include "soundbuild/score.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo-soundbuild COMMAND ...\n"
    "\n"
    "  effect RECIPE.txt OUT.wav\n"
    "      renders a sound effect recipe (mono, 16-bit, 22050 Hz)\n"
    "  music SCORE.txt OUT.wav WORKDIR\n"
    "      renders each voice of the score into WORKDIR, then mixes them into\n"
    "      one turn of the loop (stereo, 16-bit, at the score's rate)\n"
    "  sox SCORE.txt\n"
    "      prints the sox commands the music command would run\n"
    "\n"
    "sox must be on the PATH. Errors name the source file and line; the exit\n"
    "status is 1 on any error.\n";

int fail(const std::string& what) {
  std::fprintf(stderr, "mirvo-soundbuild: %s\n", what.c_str());
  return 1;
}

bool run_sox(const std::vector<std::string>& args) {
  return textsource::run_program("sox", args);
}

int run_effect(const std::string& src, const std::string& out) {
  std::string error;
  const auto recipe = textsource::load_source(src, soundbuild::parse_recipe, error);
  if (!recipe) return fail(error);
  if (!run_sox(soundbuild::recipe_sox_args(*recipe, out))) return fail("sox failed on " + src);
  return 0;
}

// Two turns of every voice: the mix keeps the second, which begins with the
// reverb tails of the first.
std::vector<std::vector<std::string>> music_commands(const soundbuild::Score& score,
                                                     const std::string& out,
                                                     const std::string& work) {
  std::vector<std::vector<std::string>> commands;
  std::vector<std::string> voice_wavs;
  for (std::size_t v = 0; v < score.voices.size(); ++v) {
    voice_wavs.push_back(work + "/" + score.voices[v].name + ".wav");
    commands.push_back(
        soundbuild::voice_sox_args(score, static_cast<int>(v), 2, voice_wavs.back()));
  }
  commands.push_back(soundbuild::mix_sox_args(score, voice_wavs, out));
  return commands;
}

int run_music(const std::string& src, const std::string& out, const std::string& work,
              bool print_only) {
  std::string error;
  const auto score = textsource::load_source(src, soundbuild::parse_score, error);
  if (!score) return fail(error);
  for (const auto& command : music_commands(*score, out, work)) {
    if (print_only) {
      std::fputs("sox", stdout);
      for (const auto& a : command) std::printf(" %s", a.c_str());
      std::fputs("\n", stdout);
    } else if (!run_sox(command)) {
      return fail("sox failed on " + src);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "--help" || cmd == "-h") {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (cmd == "effect" && argc == 4) return run_effect(argv[2], argv[3]);
  if (cmd == "music" && argc == 5) return run_music(argv[2], argv[3], argv[4], false);
  if (cmd == "sox" && argc == 3) return run_music(argv[2], "OUT.wav", "WORKDIR", true);
  std::fputs(USAGE, stderr);
  return 1;
}
