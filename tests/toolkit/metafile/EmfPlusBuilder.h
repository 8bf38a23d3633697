#pragma once

#include <uemf.h>
#include <upmf.h>

#include <QByteArray>
#include <QColor>
#include <QString>
#include <bit>
#include <cstdint>
#include <deque>
#include <initializer_list>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel::test {

// EMF+ records as an EMF comment carries them, and the objects they define.
class EmfPlusBuilder {
 public:
  static uint32_t f(float v) { return std::bit_cast<uint32_t>(v); }
  static uint32_t argb(QColor c) { return c.rgba(); }

  EmfPlusBuilder& add(uint16_t type, uint16_t flags, const QByteArray& data);
  EmfPlusBuilder& add(uint16_t type, uint16_t flags, std::initializer_list<uint32_t> words = {}) {
    return add(type, flags, MetafileBuilder::words32(words));
  }
  // The header record: dual says GDI records draw the picture too.
  EmfPlusBuilder& header(bool dual = true);
  // An object record defining slot id.
  EmfPlusBuilder& object(int id, int type, const QByteArray& data) {
    return add(U_PMR_OBJECT | U_PMR_RECFLAG, uint16_t(id | (type << 8)), data);
  }
  // The body of an EMR_COMMENT holding the records added so far.
  QByteArray comment() const;
  // Adds the comment to an EMF and starts afresh.
  void flushInto(EmfBuilder& emf) {
    emf.add(U_EMR_COMMENT, comment());
    records_.clear();
  }

  // Objects.
  static QByteArray solidBrush(QColor c) {
    return MetafileBuilder::words32({kVersion, 0, argb(c)});
  }
  // A pen of width in world units, no optional data, a solid brush.
  static QByteArray pen(float width, QColor c, uint32_t flags = 0,
                        std::initializer_list<uint32_t> optional = {});
  // A path of float points and their types.
  static QByteArray path(std::initializer_list<float> xy, std::initializer_list<uint8_t> types);
  static QByteArray rectF(float x, float y, float w, float h) {
    return MetafileBuilder::words32({f(x), f(y), f(w), f(h)});
  }

  static constexpr uint32_t kVersion = 0xDBC01002;

  // A reader of bytes, as the player reads a record's data. The bytes are
  // kept for the rest of the run, so a reader of a temporary stays valid.
  static EmfPlusReader reader(const QByteArray& bytes) {
    static std::deque<QByteArray> kept;
    const QByteArray& held = kept.emplace_back(bytes);
    return EmfPlusReader(held.constData(), uint32_t(held.size()));
  }

 private:
  QByteArray records_;
};

}  // namespace ostrel::test
