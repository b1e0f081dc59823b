#pragma once

namespace kelvane {

// Root of every decoded value and container. Values are owned through
// std::unique_ptr<TObject> and released through the virtual destructor.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

}  // namespace kelvane
