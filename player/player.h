// sonivo: plays SMSMUSIC files through the PSG model and the mixer, one
// recorded frame per timer tick, with keys typed in the terminal.
#pragma once

// Plays every file that the arguments name or match, in order; returns the
// program's exit status: 0 when every file found was played, 1 otherwise.
int sonivo_main(int argc, char** argv);
