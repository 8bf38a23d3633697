#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace ostrel {

// Root keys, value types and result codes, numbered as the registry calls have
// always used them, so callers read as they always have.
namespace reg {
using HKEY = quint32;
inline constexpr HKEY ClassesRoot = 0x80000000;
inline constexpr HKEY CurrentUser = 0x80000001;
inline constexpr HKEY LocalMachine = 0x80000002;
inline constexpr HKEY Users = 0x80000003;
inline constexpr HKEY CurrentConfig = 0x80000005;

inline constexpr quint32 None = 0;
inline constexpr quint32 Sz = 1;
inline constexpr quint32 ExpandSz = 2;
inline constexpr quint32 Binary = 3;
inline constexpr quint32 Dword = 4;
inline constexpr quint32 Link = 6;
inline constexpr quint32 MultiSz = 7;

inline constexpr qint32 Success = 0;
inline constexpr qint32 FileNotFound = 2;
inline constexpr qint32 InvalidHandle = 6;
inline constexpr qint32 InvalidParameter = 87;
inline constexpr qint32 MoreData = 234;

// Every key-specific right plus read-control: what a caller asks for when it
// wants the key "for all access".
inline constexpr quint32 KeyAllAccess = 0x2003F;
}  // namespace reg

// One value as the single-byte calls hand it out: string types already in the
// program's 8-bit encoding (UTF-8), with whatever terminating zero they carry.
struct RegistryValue {
  quint32 type = reg::None;
  QByteArray data;
};

}  // namespace ostrel
