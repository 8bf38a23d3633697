#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>

namespace ostrel {

// One mounted volume as the drive list shows it.
struct Volume {
  QString root;   // mount point, e.g. "/" or "/media/usb"
  QString label;  // name shown beside it
  bool ready = true;
};

class VolumeService {
 public:
  virtual ~VolumeService() = default;
  // The volumes a user can browse, root first.
  virtual QList<Volume> volumes() = 0;
};

// The machine's mounted file systems, without the kernel's pseudo ones.
// Asking every mount for its state takes a system call each, and the
// lists ask several times for one folder change, so an answer is reused
// for a second.
class QtVolumeService : public VolumeService {
 public:
  QList<Volume> volumes() override;

 private:
  QList<Volume> cached_;
  QElapsedTimer age_;
};

}  // namespace ostrel
