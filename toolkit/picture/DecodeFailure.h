#pragma once

#include <QString>

namespace ostrel {

// What a decoder throws when it cannot make a picture of its bytes: the error
// number and the reason as a phrase ("the GIF data ends early"). Decoders do
// not know the file name; PictureLoader turns this into a ToolkitError whose
// description names the file.
class DecodeFailure {
 public:
  DecodeFailure(int number, QString reason) : number_(number), reason_(std::move(reason)) {}

  int number() const { return number_; }
  const QString& reason() const { return reason_; }

 private:
  int number_;
  QString reason_;
};

}  // namespace ostrel
