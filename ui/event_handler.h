// How compiled application handlers are bound to events.
//
// A handler is a plain routine taking the event's argument words (first
// argument first; a 64-bit argument of the typed form takes two words, low
// word first) and returning an optional value.
//
// Handler offsets in a window template are relative to the application code
// base of the program header. In this build the code base is the address of
// the program's handler table, an array of EventHandler, and a template
// offset is the byte offset of a slot in that table (slot index times
// sizeof(EventHandler)). When the template is read, "offset made absolute"
// means: read the slot at code base + offset and store the routine's address
// in the binding. An offset of -1, a null slot or a null code base leave the
// event without handler.
#pragma once

#include <cstdint>

namespace ui {

struct HandlerResult {
    bool hasValue = false;
    uint64_t value = 0;

    static HandlerResult none() { return {}; }
    static HandlerResult of(uint64_t v) { return {true, v}; }
};

using EventHandler = HandlerResult (*)(const uint32_t* argumentWords, uint32_t wordCount);

// The template offset of handler table slot `slot`.
constexpr int32_t handlerSlotOffset(uint32_t slot) { return static_cast<int32_t>(slot * sizeof(EventHandler)); }

}  // namespace ui
