#pragma once

#include <QPainterPath>
#include <optional>

namespace ostrel {

class EmfPlusReader;

// An EMF+ region: a tree of rectangles, paths, empty and infinite nodes
// combined two at a time. It is kept as the one path it describes, or as
// nothing for the infinite region (the whole plane).
class EmfPlusRegion {
 public:
  // How a new area combines with the current one (clipping and regions).
  enum class Combine { Replace, Intersect, Union, Xor, Exclude, Complement };

  EmfPlusRegion() = default;  // infinite
  explicit EmfPlusRegion(QPainterPath path) : path_(std::move(path)) {}

  static EmfPlusRegion read(EmfPlusReader& r);
  // current combined with added; either may be infinite.
  static EmfPlusRegion combine(const EmfPlusRegion& current, const EmfPlusRegion& added,
                               Combine how);

  bool isInfinite() const { return !path_; }
  const QPainterPath& path() const;

 private:
  static EmfPlusRegion node(EmfPlusReader& r, int depth, int& nodes);

  std::optional<QPainterPath> path_;
};

}  // namespace ostrel
