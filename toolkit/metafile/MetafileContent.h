#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <vector>

#include "toolkit/metafile/GdiPlayer.h"

namespace ostrel {

enum class MetafileFormat { Wmf, Emf };

// One record that passed the load-time checks: its type and where it lies.
struct MetafileRecord {
  uint32_t type;
  uint32_t offset;
  uint32_t size;
};

// A metafile checked and split into records once, at load; painting walks
// the record list without looking at the file structure again.
struct MetafileContent {
  // Bounds that keep loading and painting short whatever the file claims.
  static constexpr size_t kMaxRecords = 4'000'000;
  // Natural sizes beyond this are scaled down, keeping the aspect: frames of
  // several metres (seen in real files) would otherwise ask the viewer for
  // gigabyte bitmaps.
  static constexpr double kMaxSide = 4096;

  MetafileFormat format = MetafileFormat::Emf;
  QByteArray data;
  std::vector<MetafileRecord> records;
  QSizeF naturalSize;
  QRectF deviceFrame;          // the picture's rectangle in device pixels
  PlaybackSetup setup;         // mapping the context starts with (deviceToOutput unset)
  int unsupportedRecords = 0;  // known to GDI but not drawn here, or unknown
  int rejectedRecords = 0;     // failed their size checks and are skipped
  bool truncated = false;      // the record walk ended before the end record
};

}  // namespace ostrel
