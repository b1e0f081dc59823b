#include "fuzz/ReferenceDecoder.h"

#include <optional>
#include <string>

#include "bencode/BDecode.h"

namespace kelvane::fuzz {

namespace {

// The input refuses decoding (a key not starting with a digit, nesting too
// deep); the path must raise.
struct TRefused {};

enum class TValueKind { None, Integer, String, Container };

struct TValue {
  TValueKind Kind = TValueKind::None;
  std::int64_t Integer = 0;
  bool Whole = true;  // every byte the value needs is in the input
};

// One root entry as the per-file path reads it.
struct TRangeEntry {
  bool Present = false;
  TValue Value;
};

class TReader {
 public:
  explicit TReader(std::string_view input) : Input(input) {}

  std::optional<unsigned char> Next() {
    if (Offset >= Input.size()) return std::nullopt;
    return static_cast<unsigned char>(Input[Offset++]);
  }
  std::size_t At() const { return Offset; }

  // A length prefix after its first digit, the separator, and the content.
  // complete tells whether the separator and all declared bytes were there.
  // The length never wraps: one beyond 63 bits asks for more than any input
  // holds.
  std::string String(unsigned first, bool& complete) {
    std::int64_t declared = first;
    bool unusable = false;
    std::optional<unsigned char> c;
    while ((c = Next()) && IsDigit(*c)) {
      unusable = unusable || __builtin_mul_overflow(declared, 10, &declared) ||
                 __builtin_add_overflow(declared, *c - '0', &declared);
    }
    complete = c.has_value();
    if ((declared == 0 && !unusable) || !complete) return {};
    const std::size_t left = Input.size() - Offset;
    const std::size_t take =
        unusable || static_cast<std::uint64_t>(declared) >= left ? left : std::size_t(declared);
    complete = !unusable && take == static_cast<std::uint64_t>(declared);
    std::string text(Input.substr(Offset, take));
    Offset += take;
    return text;
  }

  // The digits and signs up to the terminating byte; complete tells whether
  // that byte was there.
  std::int64_t Integer(bool& complete) {
    std::uint64_t a = 0;
    bool negative = false;
    std::optional<unsigned char> c;
    while ((c = Next())) {
      if (*c == '-') {
        negative = true;
      } else if (IsDigit(*c)) {
        a = a * 10u + (*c - '0');
      } else {
        break;
      }
    }
    complete = c.has_value();
    return static_cast<std::int64_t>(negative ? ~a + 1u : a);
  }

  // The value starting with first; open counts the containers around it.
  // root collects the range entries when the value is the root dictionary.
  TValue Value(unsigned char first, int open, TRangeEntry* rootStart, TRangeEntry* rootLength) {
    bool complete = true;
    if (IsDigit(first)) {
      String(first - '0', complete);
      return {TValueKind::String, 0, complete};
    }
    if (first == 'i') {
      const std::int64_t value = Integer(complete);
      return {TValueKind::Integer, value, complete};
    }
    if (first != 'l' && first != 'd') return {};
    if (open + 1 > kMaxNestingDepth) throw TRefused{};
    if (first == 'l') {
      std::optional<unsigned char> c;
      while ((c = Next()) && *c != 'e') Value(*c, open + 1, nullptr, nullptr);
      complete = c.has_value();
    } else {
      complete = Dictionary(open + 1, rootStart, rootLength);
    }
    return {TValueKind::Container, 0, complete};
  }

  // Whether the root's last "info" value lacked bytes it needs.
  bool InfoCut = false;

 private:
  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

  // True when the dictionary ends with its own "e".
  bool Dictionary(int open, TRangeEntry* start, TRangeEntry* length) {
    std::optional<unsigned char> c;
    while ((c = Next()) && *c != 'e') {
      if (!IsDigit(*c)) throw TRefused{};
      bool complete = false;
      const std::string key = String(*c - '0', complete);
      const std::size_t valueAt = Offset;
      TValue value{TValueKind::None, 0, false};  // no byte at all: a value that is not there
      if (auto first = Next()) value = Value(*first, open, nullptr, nullptr);
      if (start == nullptr) continue;
      if (value.Kind != TValueKind::None) {
        if (key == "_info_start") *start = {true, value};
        if (key == "_info_length") *length = {true, value};
      }
      if (complete && key == "info") {
        *start = {true, {TValueKind::Integer, static_cast<std::int64_t>(valueAt)}};
        *length = {true, {TValueKind::Integer, static_cast<std::int64_t>(Offset - valueAt)}};
        InfoCut = !value.Whole;
      }
    }
    return c.has_value();
  }

  std::string_view Input;
  std::size_t Offset = 0;
};

}  // namespace

TExpectedOutcome PredictOutcome(std::string_view input) {
  using TKind = TExpectedOutcome::TKind;
  TReader reader(input);
  TRangeEntry start;
  TRangeEntry length;
  try {
    const std::optional<unsigned char> first = reader.Next();
    if (!first || *first != 'd') return {TKind::Raises};
    reader.Value(*first, 0, &start, &length);
  } catch (const TRefused&) {
    return {TKind::Raises};
  }
  if (!start.Present || !length.Present) return {TKind::ParsingError};
  // A list or dictionary stored under either name is no number.
  if (start.Value.Kind == TValueKind::Container || length.Value.Kind == TValueKind::Container) {
    return {TKind::Raises};
  }
  if (reader.InfoCut) return {TKind::Raises};
  // A string under either name counts as 0.
  const std::int64_t from = start.Value.Integer;
  const std::int64_t count = length.Value.Integer;
  const auto size = static_cast<std::int64_t>(input.size());
  if (from < 0 || count < 0 || count > size - from) return {TKind::Raises};
  return {TKind::Digest, from, count};
}

}  // namespace kelvane::fuzz
