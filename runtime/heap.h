// Runtime memory: every text, byte set and array lives in a process-heap
// block. Literals of the application's constant segment may be held in
// variables directly; free and reallocate never touch them in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rt {

// Allocation failure is a runtime error ("分配 %d 字节内存失败!").
void* rtAlloc(uint32_t size);
// Without the failure check; may return nullptr.
void* rtTryAlloc(uint32_t size);
void rtFree(void* block);
void* rtRealloc(void* block, uint32_t size);

// The constant segment's bounds; [0,0) when none is recorded. Start-up
// records them; shutdown keeps them, since the literals stay where they are
// until the process ends and a thread still running may free one.
void setConstantSegment(const void* start, uint32_t size);
void clearConstantSegment();
// Segment end when the address lies inside the segment, else nullptr.
const uint8_t* constantSegmentEndFor(const void* address);

// Texts: zero-terminated, code page 936; nullptr is the empty text.
char* makeText(const char* bytes, size_t length);
char* makeText(const char* zeroTerminated);
size_t textLength(const char* text);

// Byte sets: u32 dimension count (1), u32 length, the bytes; nullptr is empty.
uint8_t* makeByteSet(const void* bytes, size_t length);
uint32_t byteSetLength(const uint8_t* byteSet);
uint8_t* byteSetData(uint8_t* byteSet);
const uint8_t* byteSetData(const uint8_t* byteSet);

// Arrays: u32 dimension count D, D u32 sizes, then the elements.
void* makeArray(uint32_t elementWidth, uint32_t count);
uint32_t arrayDimensions(const void* array);
uint32_t arrayElementCount(const void* array);
void* arrayElements(void* array);
const void* arrayElements(const void* array);
// Frees the elements first for text and byte-set arrays.
void freeArray(uint32_t elementType, void* array);

}  // namespace rt
