// Little-endian 32-bit words, counted texts, counted bytes and
// zero-terminated texts: the items of window templates and class property
// data. Writer and reader are each other's exact inverse and are usable at
// compile time (the program's template is written during the build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/unaligned_word.h"

namespace ui {

// The little-endian word at p, which may be unaligned (live template
// records are patched in place).
using rt::loadWord;
using rt::storeWord;

class ByteWriter {
public:
    constexpr void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    constexpr void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    constexpr void raw(const uint8_t* data, size_t length) {
        for (size_t i = 0; i < length; ++i) bytes_.push_back(data[i]);
    }
    constexpr void raw(const std::vector<uint8_t>& data) { raw(data.data(), data.size()); }
    constexpr void raw(std::string_view text) {
        for (char c : text) bytes_.push_back(static_cast<uint8_t>(c));
    }
    // u32 length, then the bytes.
    constexpr void counted(const std::vector<uint8_t>& data) {
        u32(static_cast<uint32_t>(data.size()));
        raw(data);
    }
    constexpr void countedText(std::string_view text) {
        u32(static_cast<uint32_t>(text.size()));
        raw(text);
    }
    constexpr void zeroTerminated(std::string_view text) {
        raw(text);
        bytes_.push_back(0);
    }
    constexpr void patchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    constexpr size_t size() const { return bytes_.size(); }
    constexpr const std::vector<uint8_t>& bytes() const { return bytes_; }
    constexpr std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Reads strictly within [data, data + size). Any read past the end fails and
// the failure sticks: every later read fails too.
class ByteReader {
public:
    constexpr ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    constexpr bool ok() const { return ok_; }
    constexpr size_t position() const { return pos_; }
    constexpr size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
    constexpr const uint8_t* here() const { return data_ + pos_; }

    constexpr bool u32(uint32_t& v) {
        if (!take(4)) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ - 4 + i]) << (8 * i);
        return true;
    }
    constexpr bool i32(int32_t& v) {
        uint32_t u = 0;
        if (!u32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    constexpr bool skip(size_t length) { return take(length); }
    // Fails the reader, as a read past the end would: for data that reads
    // but can't be right (a count larger than what is left).
    constexpr bool fail() { return ok_ = false; }
    constexpr bool raw(size_t length, std::vector<uint8_t>& out) {
        if (!take(length)) return false;
        out.assign(data_ + pos_ - length, data_ + pos_);
        return true;
    }
    constexpr bool raw(size_t length, std::string& out) {
        if (!take(length)) return false;
        out.clear();
        for (size_t i = pos_ - length; i < pos_; ++i) out.push_back(static_cast<char>(data_[i]));
        return true;
    }
    constexpr bool counted(std::vector<uint8_t>& out) {
        uint32_t length = 0;
        return u32(length) && raw(length, out);
    }
    constexpr bool countedText(std::string& out) {
        uint32_t length = 0;
        return u32(length) && raw(length, out);
    }
    constexpr bool zeroTerminated(std::string& out) {
        if (!ok_) return false;
        for (size_t i = pos_; i < size_; ++i) {
            if (data_[i] == 0) {
                out.clear();
                for (size_t j = pos_; j < i; ++j) out.push_back(static_cast<char>(data_[j]));
                pos_ = i + 1;
                return true;
            }
        }
        ok_ = false;
        return false;
    }

private:
    constexpr bool take(size_t length) {
        if (!ok_ || length > size_ - pos_) {
            ok_ = false;
            return false;
        }
        pos_ += length;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace ui
