#pragma once
// The four texts a message's row shows (From, To, Subject, the date) in one buffer: one
// allocation for all four, none when together they fit in the object itself. A copy owns a
// buffer of its own, so a record copied out of its table outlives the table, and records filled
// on different threads share nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace vireo {

class RecordTexts {
 public:
  enum Field { kFrom, kTo, kSubject, kDateText, kFieldCount };

  RecordTexts() noexcept = default;
  RecordTexts(const RecordTexts& other) { copyFrom(other); }
  RecordTexts(RecordTexts&& other) noexcept { takeFrom(other); }
  RecordTexts& operator=(const RecordTexts& other) {
    if (this != &other) {
      RecordTexts copy(other);
      release();
      takeFrom(copy);
    }
    return *this;
  }
  RecordTexts& operator=(RecordTexts&& other) noexcept {
    if (this != &other) {
      release();
      takeFrom(other);
    }
    return *this;
  }
  ~RecordTexts() { release(); }

  std::string_view text(Field field) const noexcept {
    const uint32_t begin = field == kFrom ? 0 : ends_[field - 1];
    return {bytes() + begin, ends_[field] - begin};
  }

  // Replaces all four at once. The texts may be views of this object's own: they are copied
  // before the old buffer goes.
  void set(std::string_view from, std::string_view to, std::string_view subject, std::string_view dateText) {
    const std::array<std::string_view, kFieldCount> texts = {from, to, subject, dateText};
    size_t total = 0;
    for (const std::string_view text : texts) {
      if (text.size() > kMaxTotal - total) throw std::length_error("record texts too long");
      total += text.size();
    }
    std::array<uint32_t, kFieldCount> ends{};
    if (total <= kInline) {
      // The inline bytes share their place with the heap pointer: gather first.
      char gathered[kInline];
      gather(texts, gathered, ends);
      release();
      std::memcpy(inline_, gathered, kInline);
    } else {
      char* buffer = new char[total];
      gather(texts, buffer, ends);
      release();
      heap_ = buffer;
    }
    ends_ = ends;
  }

  void clear() noexcept {
    release();
    ends_ = {};
  }

 private:
  static constexpr size_t kInline = 16;
  static constexpr size_t kMaxTotal = std::numeric_limits<uint32_t>::max();

  bool isInline() const noexcept { return ends_[kDateText] <= kInline; }
  const char* bytes() const noexcept { return isInline() ? inline_ : heap_; }

  static void gather(const std::array<std::string_view, kFieldCount>& texts, char* out,
                     std::array<uint32_t, kFieldCount>& ends) noexcept {
    uint32_t end = 0;
    for (size_t i = 0; i < kFieldCount; ++i) {
      // An empty view may have no data at all, and memcpy must not be handed null.
      if (!texts[i].empty()) std::memcpy(out + end, texts[i].data(), texts[i].size());
      end += static_cast<uint32_t>(texts[i].size());
      ends[i] = end;
    }
  }

  void copyFrom(const RecordTexts& other) {
    if (other.isInline()) {
      std::memcpy(inline_, other.inline_, kInline);
    } else {
      heap_ = new char[other.ends_[kDateText]];
      std::memcpy(heap_, other.heap_, other.ends_[kDateText]);
    }
    ends_ = other.ends_;
  }
  // Only into an object that holds no buffer.
  void takeFrom(RecordTexts& other) noexcept {
    if (other.isInline())
      std::memcpy(inline_, other.inline_, kInline);
    else
      heap_ = other.heap_;
    ends_ = other.ends_;
    other.ends_ = {};
  }
  void release() noexcept {
    if (!isInline()) delete[] heap_;
    ends_ = {};
  }

  union {
    char* heap_;
    char inline_[kInline] = {};
  };
  std::array<uint32_t, kFieldCount> ends_{};  // where each text ends; the next starts there
};

}  // namespace vireo
