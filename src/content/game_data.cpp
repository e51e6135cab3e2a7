#include "content/content.h"

DATAFILE* game_data = nullptr;
int renderer = 0;
