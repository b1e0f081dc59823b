#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace kelvane {

// Base of every error the program raises. It carries a message and the code
// address at which it was raised; ClassName() names the concrete class so the
// fatal-error diagnostic can print it. An error the system reported carries
// its code too, and what it was about (a file's name, "write error"), for a
// diagnostic in the system's own style.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  Exception(std::string message, std::string subject, std::uint32_t code);

  const std::string& Message() const noexcept { return Text; }
  // What failed; empty when the error names nothing in particular.
  const std::string& Subject() const noexcept { return About; }
  // The system's code (platform::LastError()), or 0 when the system reported none.
  std::uint32_t Code() const noexcept { return SystemCode; }
  const void* Address() const noexcept { return RaiseAddress; }
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const char* what() const noexcept override { return Text.c_str(); }

 private:
  std::string Text;
  std::string About;
  std::uint32_t SystemCode = 0;
  const void* RaiseAddress;
};

// Gives an exception class its name as a template argument, so that each
// class below is one line and reports its own name.
template <std::size_t N>
struct ClassNameText {
  constexpr ClassNameText(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) Value[i] = text[i];
  }
  char Value[N];
};

template <ClassNameText Name, class Base>
class ENamed : public Base {
 public:
  using Base::Base;
  const char* ClassName() const noexcept override { return Name.Value; }
};

// A text that is not a number where one is required.
using EConvertError = ENamed<"EConvertError", Exception>;
// An allocation failed; the message is always "Out of memory".
using EOutOfMemory = ENamed<"EOutOfMemory", Exception>;
// A value of one class used as another.
using EInvalidCast = ENamed<"EInvalidCast", Exception>;
// Input nested deeper than the decoder accepts.
using ENestingTooDeep = ENamed<"ENestingTooDeep", Exception>;
// A file could not be opened; Code() tells why.
using EFOpenError = ENamed<"EFOpenError", Exception>;
// The system ran out of something no file can be blamed for (descriptors,
// threads); Code() tells which. Never a file's error line.
using EOutOfResources = ENamed<"EOutOfResources", Exception>;
// A file could not be read whole: it ends too soon, or it changed while read.
using EReadError = ENamed<"EReadError", Exception>;
// Standard output or standard error could not be written.
using EInOutError = ENamed<"EInOutError", Exception>;
// The hash table's errors; EHashError itself is never raised.
using EHashError = ENamed<"EHashError", Exception>;
using EHashFindError = ENamed<"EHashFindError", EHashError>;
using EHashInvalidKeyError = ENamed<"EHashInvalidKeyError", EHashError>;

// Raises EOutOfMemory with its fixed message.
[[noreturn]] void RaiseOutOfMemory();

}  // namespace kelvane
