// Keys typed in the terminal, read without echo and without waiting.
#pragma once

// Switches a terminal on standard input to unbuffered input without echo,
// until terminal_close (also run at exit and on SIGINT or SIGTERM).
void terminal_open();
void terminal_close();
// The next key typed, or -1 when none is waiting.
int terminal_key();
