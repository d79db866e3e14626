#include "machine/rewind.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "machine/savestate.h"

bool rewind_recording = true;

namespace {

// Most of a state stays the same from one frame to the next: states are
// compared a block at a time, and a block that differs a machine word at a
// time. Each buffer holds zeros from the end of its state to the end of
// the buffer, so that two states of different sizes compare over whole
// blocks.
using Word = uint64_t;
constexpr size_t WORD = sizeof(Word);
constexpr size_t BLOCK = 256;

size_t whole_blocks(size_t size)
{
    return (size + BLOCK - 1) / BLOCK * BLOCK;
}

// Where one frame's undo record lies in the ring.
struct Record {
    uint32_t offset;
    uint32_t size;
};

// An undo record turns the newest state into the one before it: that
// state's size, then runs of (bytes to skip, bytes to replace, the older
// bytes), the counts as base-128 numbers.
struct Rewind {
    std::vector<uint8_t> newest;  // the newest state; empty when none
    size_t newest_size = 0;
    std::vector<uint8_t> current;  // the state being recorded
    std::vector<uint8_t> undo;  // the record being built
    std::unique_ptr<uint8_t[]> ring;  // made when first needed
    size_t ring_size = REWIND_RING_BYTES;
    std::deque<Record> records;  // oldest first
    size_t head = 0;  // where the next record goes
    size_t bytes = 0;  // held by the records
};

Rewind past;

void put_number(std::vector<uint8_t>& out, size_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

size_t take_number(const uint8_t*& in)
{
    size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t byte = *in++;
        value |= size_t {byte & 0x7Fu} << shift;
        if (byte < 0x80)
            return value;
    }
}

Word word_at(const uint8_t* bytes, size_t at)
{
    Word word;
    std::memcpy(&word, bytes + at, WORD);
    return word;
}

// The undo record from `newer` back to `older`, over their first `length`
// bytes (a whole number of blocks).
void build_undo(const uint8_t* older, const uint8_t* newer, size_t length, size_t older_size, std::vector<uint8_t>& out)
{
    out.clear();
    put_number(out, older_size);
    size_t done = 0;
    size_t at = 0;
    while (at < length) {
        if (at % BLOCK == 0 && std::memcmp(older + at, newer + at, BLOCK) == 0) {
            at += BLOCK;
            continue;
        }
        if (word_at(older, at) == word_at(newer, at)) {
            at += WORD;
            continue;
        }
        const size_t start = at;
        while (at < length && word_at(older, at) != word_at(newer, at))
            at += WORD;
        put_number(out, start - done);
        put_number(out, at - start);
        out.insert(out.end(), older + start, older + at);
        done = at;
    }
}

void apply_undo(const Record& record, std::vector<uint8_t>& state, size_t& size)
{
    const uint8_t* in = past.ring.get() + record.offset;
    const uint8_t* const end = in + record.size;
    size = take_number(in);
    size_t at = 0;
    while (in < end) {
        at += take_number(in);
        const size_t length = take_number(in);
        if (state.size() < at + length)
            state.resize(at + length);
        std::memcpy(state.data() + at, in, length);
        in += length;
        at += length;
    }
}

void drop_oldest()
{
    past.bytes -= past.records.front().size;
    past.records.pop_front();
}

// Stores the record built in `undo` as the newest, making room for it.
void store_undo()
{
    const size_t size = past.undo.size();
    if (!past.ring)
        past.ring = std::make_unique_for_overwrite<uint8_t[]>(past.ring_size);
    if (past.records.size() >= static_cast<size_t>(REWIND_MAX_FRAMES))
        drop_oldest();
    // Records lie in the ring in the order they were made: those past the
    // head are older than those before it, and the ones in the way of a new
    // record are always the oldest.
    if (past.head + size > past.ring_size) {
        while (!past.records.empty() && past.records.front().offset >= past.head)
            drop_oldest();
        past.head = 0;
    }
    while (!past.records.empty()) {
        const Record& oldest = past.records.front();
        if (oldest.offset >= past.head + size || oldest.offset + oldest.size <= past.head)
            break;
        drop_oldest();
    }
    std::memcpy(past.ring.get() + past.head, past.undo.data(), size);
    past.records.push_back({static_cast<uint32_t>(past.head), static_cast<uint32_t>(size)});
    past.head += size;
    past.bytes += size;
}

void record()
{
    if (!SMS_SaveStateToMemory(past.current))
        return;
    const size_t size = past.current.size();
    const size_t length = whole_blocks(std::max(size, past.newest_size));
    past.current.resize(length);
    if (!past.newest.empty()) {
        past.newest.resize(std::max(past.newest.size(), length));
        build_undo(past.newest.data(), past.current.data(), length, past.newest_size, past.undo);
        store_undo();
    }
    past.newest.swap(past.current);
    past.newest_size = size;
}

void step_back()
{
    if (past.newest.empty())
        return;
    if (!past.records.empty()) {
        const Record record = past.records.back();
        apply_undo(record, past.newest, past.newest_size);
        past.records.pop_back();
        past.bytes -= record.size;
        past.head = record.offset;
    }
    SMS_LoadStateFromMemory({past.newest.data(), past.newest_size});
}

}  // namespace

void SMS_RewindReset(size_t ring_size)
{
    if (ring_size != past.ring_size)
        past.ring.reset();
    past.ring_size = ring_size;
    past.newest.clear();
    past.newest_size = 0;
    past.records.clear();
    past.head = 0;
    past.bytes = 0;
}

void SMS_RewindFrame(bool back)
{
    if (!rewind_recording)
        return;
    if (back)
        step_back();
    else
        record();
}

int SMS_RewindFrames()
{
    return static_cast<int>(past.records.size());
}

size_t SMS_RewindBytes()
{
    return past.bytes;
}
