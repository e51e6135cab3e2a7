// The whole program: start-up, the main menu's dispatch loop, shutdown.
#include <allegro.h>

#include <cstdio>

#include "content/content.h"
#include "render/render.h"
#include "shell/replays_local.h"
#include "shell/screens_local.h"

int main(int argc, char** argv) {
  const CommandLine line = read_command_line(argc, argv);
  if (line.action != CommandLine::PLAY && line.action != CommandLine::REPLAY)
    return answer_command_line(line);
  renderer = Renderer::Software;
  scale = 0;
  // A damaged recording is refused before any window opens; one of other
  // levels once Allegro can read their archives. Read before the game's
  // folder becomes the current one, so a path from where the player stands works.
  LoadedReplay replay;
  if (line.action == CommandLine::REPLAY) replay = read_replay(line.replay);
  if (!replay.error.empty()) {
    std::printf("%s\n", replay.error.c_str());
    return 1;
  }
  const CommandCampaign author = read_command_campaign(line);
  if (!author.error.empty()) {
    std::printf("%s\n", author.error.c_str());
    return 1;
  }
  find_game_files();
  start_up();
  if (line.action == CommandLine::REPLAY) find_replay_campaign(replay, line.replay);
  if (!replay.error.empty()) {
    shut_down();
    std::printf("%s\n", replay.error.c_str());
    return 1;
  }
  if (!author.campaign.levels.empty())
    use_command_campaign(author);
  else
    read_folder_campaign();
  int selection = 0;
  const char* notice = nullptr;
  if (line.action == CommandLine::REPLAY && play_replay(replay) == PlaybackEnd::taken_over) {
    in_menu = 0;
    selection = after_play(play_level(""));
    in_menu = 1;
  }
  for (;;) {
    const MenuChoice choice = main_menu(selection, notice);
    selection = 0;
    notice = nullptr;
    if (choice == MENU_QUIT) break;
    // Escape from the difficulty comes back to the menu; a paused game stays as it was.
    if (choice == MENU_START && folder_campaign.rules.chooses_difficulty && !difficulty_menu()) {
      selection = 0;
    } else if (choice == MENU_START) {
      in_menu = 0;
      new_game();
      selection = after_play(play_level("level1.wif"));
    } else if (choice == MENU_OPTIONS) {
      if (options_menu() == 1) {
        leave_game();  // the restart ends a paused game
        shut_down();
        start_up();
      }
    } else if (choice == MENU_RESUME) {
      if (game_running == 1) {
        in_menu = 0;
        selection = after_play(play_level(""));
      } else if (folder_campaign.rules.menus_in_window) {
        notice = "There is no game running";
      } else {
        allegro_message("There is no game running");
      }
    } else if (choice == MENU_SCORES) {
      show_high_scores();
      selection = 3;  // back on the row that opened the table
    } else if (choice == MENU_REPLAYS) {
      selection = 4;
      if (replays_screen()) {
        in_menu = 0;
        selection = after_play(play_level(""));
      }
    }
    in_menu = 1;
    // The window's close button ends the program as Quit does.
    if (close_requested.load() != 0) break;
  }
  leave_game();  // Quit ends a paused game
  shut_down();
  return 0;
}
END_OF_MAIN()
