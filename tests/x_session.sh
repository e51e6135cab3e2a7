# Sourced by the shell scenarios that drive the real game: a private Xvfb
# whose mapped windows are logged, and ALSA's file plugin into /dev/null so
# the music plays without a sound card. Needs $work (with home/ in it); sets
# DISPLAY, xvfb_pid and xev_pid for the caller's clean-up.
start_x_session() {
  echo 'pcm.!default { type file; slave.pcm "null"; file "/dev/null"; format "raw" }' \
    >"$work/home/.asoundrc"
  exec 3<>"$work/displayfd"
  Xvfb -displayfd 3 -screen 0 800x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/displayfd")
  # Every window mapped on the server, one "MapNotify" line each: a restart
  # maps a new window (which may get the old one's id).
  stdbuf -oL xev -root -event substructure >"$work/maps" 2>/dev/null &
  xev_pid=$!
  sleep 1  # xev is listening before the game maps its first window
}

# How many windows have been mapped so far.
maps() { grep -c '^MapNotify' "$work/maps" || true; }
