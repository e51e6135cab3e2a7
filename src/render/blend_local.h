// The additive blend's shared entry point, for the blend's own files, its
// tests and its benchmarks.
#pragma once

struct BITMAP;

// blend_add_rect with the loop chosen from the given capabilities word
// instead of the processor's: clips against the whole bitmap, converts the
// factor, and runs choose_blend_loop(depth, capabilities) on what is left.
void blend_add_rect_using(int capabilities, BITMAP* bmp, int x, int y, int w, int h, int colour,
                          int factor);
