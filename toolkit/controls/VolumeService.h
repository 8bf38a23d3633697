#pragma once

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
class QtVolumeService : public VolumeService {
 public:
  QList<Volume> volumes() override;
};

}  // namespace ostrel
