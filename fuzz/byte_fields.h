// Fuzz inputs read as little-endian fields one after another, and written so
// by the seed generator. A reader that runs out of bytes reads zeros, so every
// byte string reads as some sequence of fields.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class SequenceReader {
 public:
  SequenceReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool atEnd() const { return position_ >= size_; }

  template <typename Field>
  Field take() {
    unsigned char bytes[sizeof(Field)] = {};
    const std::size_t count = std::min(sizeof(Field), size_ - position_);
    std::memcpy(bytes, data_ + position_, count);
    position_ += count;
    Field field;
    std::memcpy(&field, bytes, sizeof field);
    return field;
  }

  // A u16 byte count and that many bytes, or as many as are left.
  std::vector<std::uint8_t> takePayload() {
    const std::size_t length = std::min<std::size_t>(take<std::uint16_t>(), size_ - position_);
    std::vector<std::uint8_t> payload(data_ + position_, data_ + position_ + length);
    position_ += length;
    return payload;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

class FieldWriter {
 public:
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  template <typename Field>
  void put(Field field) {
    unsigned char bytes[sizeof(Field)];
    std::memcpy(bytes, &field, sizeof field);
    bytes_.insert(bytes_.end(), bytes, bytes + sizeof bytes);
  }

  void putPayload(const std::vector<std::uint8_t>& payload) {
    put(static_cast<std::uint16_t>(payload.size()));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  }

 private:
  std::vector<std::uint8_t> bytes_;
};
