// The whole program: start-up, the main menu's dispatch loop, shutdown.
#include <allegro.h>

#include "content/content.h"
#include "render/render.h"
#include "shell/shell_local.h"

int main(int argc, char** argv) {
  const CommandLine line = read_command_line(argc, argv);
  if (line.action != CommandLine::PLAY) return answer_command_line(line);
  renderer = Renderer::Software;
  scale = 0;
  find_game_files();
  start_up();
  for (;;) {
    const MenuChoice choice = main_menu();
    if (choice == MENU_QUIT) break;
    if (choice == MENU_START) {
      in_menu = 0;
      new_game();
      play_level("level1.wif");
    } else if (choice == MENU_OPTIONS) {
      if (options_menu() == 1) {
        shut_down();
        start_up();
      }
    } else if (choice == MENU_RESUME) {
      if (game_running == 1) {
        in_menu = 0;
        play_level("");
      } else {
        allegro_message("There is no game running");
      }
    }
    in_menu = 1;
    // The window's close button ends the program as Quit does.
    if (close_requested.load() != 0) break;
  }
  shut_down();
  return 0;
}
END_OF_MAIN()
