#pragma once

#include <QString>
#include <QtGlobal>

namespace ostrel {

class Registry;

// The About window's registry reader. Reads the value SubKeyRef of the key
// KeyName below KeyRoot into KeyVal and returns true; on any failure KeyVal
// becomes empty and the result is false. A text value gives its text without
// a final zero byte, a 32-bit number gives its unsigned decimal digits, a
// value with no data bytes gives the empty text, and a value of any other
// type leaves KeyVal as it was (and still succeeds).
bool GetKeyValue(Registry& registry, quint32 KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal);

}  // namespace ostrel
