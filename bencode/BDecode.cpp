#include "bencode/BDecode.h"

#include <algorithm>
#include <new>
#include <utility>

#include "base/Exceptions.h"
#include "bencode/DecodeErrors.h"

namespace kelvane {

namespace {

// Strings longer than this are only given room for what the stream still
// holds, and are read in pieces of at most this size beyond that room, so a
// forged length costs no more memory than the file's own bytes.
constexpr std::size_t kReadChunk = 64 * 1024;

// The stream being decoded, and whether a read has found its end. Every
// value still open when that happened ends short of its own end.
struct TInput {
  TStream& Stream;
  bool Ended = false;
};

bool ReadByte(TInput& input, char& byte) {
  if (input.Stream.Read(&byte, 1) == 1) return true;
  input.Ended = true;
  return false;
}

bool IsDigit(char byte) {
  return byte >= '0' && byte <= '9';
}

std::unique_ptr<TIntString> MakeInt(std::int64_t value) {
  auto scalar = std::make_unique<TIntString>();
  scalar->IntValue = value;
  scalar->IsInt = true;
  return scalar;
}

// Reads up to length bytes of string content into text; when the stream ends
// first, text holds what was delivered.
void ReadContent(TInput& input, std::int64_t length, std::string& text) {
  TStream& stream = input.Stream;
  std::int64_t room = length;
  if (length > std::int64_t(kReadChunk)) {
    room = std::clamp<std::int64_t>(stream.Size() - stream.Position(), 0, length);
  }
  text.reserve(static_cast<std::size_t>(room));
  while (std::int64_t(text.size()) < length) {
    const std::size_t have = text.size();
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(
        length - std::int64_t(have), std::int64_t(std::max(text.capacity() - have, kReadChunk))));
    text.resize(have + want);
    const std::size_t got = stream.Read(text.data() + have, want);
    text.resize(have + got);
    if (got == 0) {
      input.Ended = true;
      return;
    }
  }
}

// Reads the rest of a length prefix whose first digit was consumed, and its
// separator.
std::int64_t ReadLength(TInput& input, int firstDigit) {
  std::int64_t length = firstDigit;
  char byte = 0;
  while (ReadByte(input, byte) && IsDigit(byte)) length = AppendLengthDigit(length, byte - '0');
  return length;
}

// A key: the length prefix and the content.
std::string ReadString(TInput& input, int firstDigit) {
  const std::int64_t length = ReadLength(input, firstDigit);
  std::string text;
  if (length > 0) ReadContent(input, length, text);
  return text;
}

// Steps over the content of a long string value, as far as the stream holds
// it, and notes where it lies. False when the stream cannot tell its size;
// the content must then be read.
bool SkipContent(TInput& input, std::int64_t length, TIntString& scalar) {
  TStream& stream = input.Stream;
  const std::int64_t size = stream.Size();
  if (size < 0) return false;
  const std::int64_t offset = stream.Position();
  scalar.StrOffset = offset;
  scalar.StrLength = std::clamp<std::int64_t>(size - offset, 0, length);
  stream.Seek(scalar.StrLength, TSeekOrigin::Current);
  if (scalar.StrLength < length) input.Ended = true;
  return true;
}

std::unique_ptr<TIntString> DecodeString(TInput& input, int firstDigit) {
  auto scalar = std::make_unique<TIntString>();
  const std::int64_t length = ReadLength(input, firstDigit);
  if (length > kMaxHeldString && SkipContent(input, length, *scalar)) return scalar;
  if (length > 0) ReadContent(input, length, scalar->StrValue);
  return scalar;
}

// Digits and any number of '-' (each one makes the result negative) up to
// one terminating byte; the value wraps in 64 bits.
std::unique_ptr<TIntString> DecodeInt(TInput& input) {
  std::uint64_t magnitude = 0;
  bool negative = false;
  char byte = 0;
  while (ReadByte(input, byte)) {
    if (byte == '-') {
      negative = true;
    } else if (IsDigit(byte)) {
      magnitude = magnitude * 10 + static_cast<std::uint64_t>(byte - '0');
    } else {
      break;
    }
  }
  return MakeInt(static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude));
}

std::unique_ptr<TObject> DecodeValue(TInput& input, char first, int depth);

// depth counts the containers open around the values read here, this one
// included.
std::unique_ptr<TObjectList> DecodeList(TInput& input, int depth) {
  auto list = std::make_unique<TObjectList>();
  char byte = 0;
  while (ReadByte(input, byte) && byte != 'e') {
    if (auto item = DecodeValue(input, byte, depth)) list->Add(std::move(item));
  }
  return list;
}

std::unique_ptr<TObjectHash> DecodeDict(TInput& input, int depth) {
  auto dict = std::make_unique<TObjectHash>();
  char byte = 0;
  while (ReadByte(input, byte) && byte != 'e') {
    if (!IsDigit(byte)) RaiseNotAnInteger(byte);
    std::string key = ReadString(input, byte - '0');
    // A key the stream cut short is not the key it happens to spell.
    const bool isInfo = !input.Ended && key == "info";
    const std::int64_t start = isInfo ? input.Stream.Position() : 0;
    std::unique_ptr<TObject> value;
    if (ReadByte(input, byte)) value = DecodeValue(input, byte, depth);
    if (value && key.empty()) {
      dict->StoreEmptyKeyValue(std::move(value));
    } else if (value) {
      dict->Store(std::move(key), std::move(value));
    }
    if (isInfo) {
      // A value the stream ended inside has no length of its own.
      const std::int64_t length = input.Ended ? -1 : input.Stream.Position() - start;
      dict->Items("_info_start", MakeInt(start));
      dict->Items("_info_length", MakeInt(length));
    }
  }
  return dict;
}

// The value that starts with first, already consumed; null when no value
// starts with it. depth counts the containers open around it.
std::unique_ptr<TObject> DecodeValue(TInput& input, char first, int depth) {
  if (IsDigit(first)) return DecodeString(input, first - '0');
  switch (first) {
    case 'i':
      return DecodeInt(input);
    case 'l':
      if (depth >= kMaxNestingDepth) RaiseNestingTooDeep();
      return DecodeList(input, depth + 1);
    case 'd':
      if (depth >= kMaxNestingDepth) RaiseNestingTooDeep();
      return DecodeDict(input, depth + 1);
    default:
      return nullptr;
  }
}

}  // namespace

void RaiseNotAnInteger(char byte) {
  throw EConvertError("'" + std::string(1, byte) + "' is not a valid integer value");
}

void RaiseNestingTooDeep() {
  throw ENestingTooDeep("Nesting too deep");
}

std::unique_ptr<TObject> DecodeStream(TStream& stream) {
  try {
    TInput input{stream};
    char first = 0;
    if (!ReadByte(input, first)) return nullptr;
    return DecodeValue(input, first, 0);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
}

}  // namespace kelvane
