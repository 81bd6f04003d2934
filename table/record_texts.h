#pragma once
// The four texts a message's row shows (From, To, Subject, the date) in one string: one
// allocation for all four, none when together they fit in the string itself. A copy owns its
// own, so a record copied out of its table outlives the table, and records filled on different
// threads share nothing.
#include <array>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vireo {

class RecordTexts {
 public:
  enum Field { kFrom, kTo, kSubject, kDateText, kFieldCount };

  RecordTexts() = default;
  RecordTexts(const RecordTexts&) = default;
  RecordTexts& operator=(const RecordTexts&) = default;
  // A moved-from object is left empty, its ends with it.
  RecordTexts(RecordTexts&& other) noexcept : bytes_(std::move(other.bytes_)), ends_(other.ends_) { other.clear(); }
  RecordTexts& operator=(RecordTexts&& other) noexcept {
    if (this != &other) {
      bytes_ = std::move(other.bytes_);
      ends_ = other.ends_;
      other.clear();
    }
    return *this;
  }

  std::string_view text(Field field) const noexcept {
    const size_t begin = field == kFrom ? 0 : ends_[field - 1];
    const size_t end = field == kDateText ? bytes_.size() : ends_[field];
    return {bytes_.data() + begin, end - begin};
  }

  // Replaces all four at once. The texts may be views of this object's own: they are gathered
  // into a new string before the old one goes.
  void set(std::string_view from, std::string_view to, std::string_view subject, std::string_view dateText) {
    if (from.size() + to.size() + subject.size() + dateText.size() > std::numeric_limits<uint32_t>::max())
      throw std::length_error("record texts too long");
    std::string bytes;
    bytes.reserve(from.size() + to.size() + subject.size() + dateText.size());
    std::array<uint32_t, kFieldCount - 1> ends{};
    bytes += from;
    ends[kFrom] = static_cast<uint32_t>(bytes.size());
    bytes += to;
    ends[kTo] = static_cast<uint32_t>(bytes.size());
    bytes += subject;
    ends[kSubject] = static_cast<uint32_t>(bytes.size());
    bytes += dateText;
    bytes_.swap(bytes);
    ends_ = ends;
  }

  void clear() noexcept {
    std::string().swap(bytes_);
    ends_ = {};
  }

 private:
  std::string bytes_;
  std::array<uint32_t, kFieldCount - 1> ends_{};  // where From, To and Subject end; the date ends the string
};

}  // namespace vireo
