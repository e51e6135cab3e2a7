// The shape check of the loaded "data.dat".
#include <allegro.h>

#include "content/content.h"
#include "shell/shell_local.h"

static int object_is(const DATAFILE* data, int index, int type) {
  return data[index].type == type && data[index].dat != nullptr;
}

int game_data_usable(const DATAFILE* data) {
  if (data == nullptr) return 0;
  for (int i = 0; i <= DATA_MENU_FONT; ++i)
    if (data[i].type == DAT_END) return 0;
  return object_is(data, DATA_PLAYER_SHIP, DAT_BITMAP) && object_is(data, DATA_SHOT, DAT_BITMAP) &&
         object_is(data, DATA_MENU_BACKGROUND, DAT_BITMAP) &&
         object_is(data, DATA_MENU_FONT, DAT_FONT);
}
