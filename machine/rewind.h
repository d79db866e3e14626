// Rewind: the machine's recent past, kept as save states in memory so that
// play can be stepped back frame by frame and go on from there.
//
// The newest state is kept whole; each older one only as the bytes it
// differs in from its successor, in a ring of fixed size whose oldest
// entries give way to new ones.
#pragma once

#include <cstddef>

// The ring's size in bytes, and how many frames it keeps at most.
constexpr size_t REWIND_RING_BYTES = 63u << 20;
constexpr int REWIND_MAX_FRAMES = 5 * 60 * 60;

// Whether frames are recorded at all (tarven-headless can turn it off to
// measure what recording costs).
extern bool rewind_recording;

// Forgets the past; a new machine starts with none. Tests choose a smaller
// ring, to see it wrap round often.
void SMS_RewindReset(size_t ring_size = REWIND_RING_BYTES);
// Once per frame end: records the machine as it stands, or, when `back` is
// set, makes it the machine of the frame before the newest one recorded
// (the oldest one stays when there is none older). Does nothing while no
// machine runs.
void SMS_RewindFrame(bool back);
// How many frames can be stepped back, and the bytes the ring holds.
int SMS_RewindFrames();
size_t SMS_RewindBytes();
