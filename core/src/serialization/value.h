// The system's data value: a tagged union of eleven variants, exchanged by payloads, cookies
// and the Python bridge, and written on the wire as MessagePack.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"

namespace zq {

struct ValuePair;

struct Timestamp {
  std::int64_t secs = 0;
  std::uint32_t nanos = 0;
  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

struct Ext {
  std::int8_t type = 0;
  Bytes data;
  friend bool operator==(const Ext&, const Ext&) = default;
};

// A hand-written union rather than std::variant: destroying, moving and copying the scalar
// kinds (most items of a typical tree) then costs one test of the kind instead of a visit.
class Value {
 public:
  // Variant order is part of the model: Nil, Bool, Int, UInt, Float, Str, Bin, Array, Map,
  // Timestamp, Ext.
  enum class Kind : std::uint8_t { Nil, Bool, Int, UInt, Float, Str, Bin, Array, Map, Timestamp, Ext };
  using Array = std::vector<Value>;
  using Map = std::vector<ValuePair>;

  Value() noexcept {}
  Value(const Value& other);
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value() {
    if (!owns_members()) return;
    if (kind_ == Kind::Str) {
      u_.s.~basic_string();  // the most common owning kind, destroyed inline
    } else {
      destroy();
    }
  }

  static Value nil() { return Value(); }
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value uinteger(std::uint64_t u);
  static Value floating(double d);
  static Value str(std::string s);
  static Value bin(Bytes b);
  static Value array(Array a);
  static Value map(Map m);
  static Value timestamp(Timestamp t);
  static Value ext(Ext e);
  // Makes this value, which must be a Nil, one of the owning kind K (Str, Bin, Array, Map, Ext)
  // whose member is constructed in place from `args` as that member's own constructor takes
  // them: for readers that would otherwise build a temporary to move in. If the constructor
  // throws, the value stays a Nil.
  template <Kind K, class... Args>
  void emplace(Args&&... args);

  Kind kind() const { return kind_; }

  // Accessors; each requires the matching kind().
  bool as_bool() const { return u_.b; }
  std::int64_t as_int() const { return u_.i; }
  std::uint64_t as_uint() const { return u_.u; }
  double as_float() const { return u_.d; }
  const std::string& as_str() const { return u_.s; }
  std::string& as_str() { return u_.s; }
  const Bytes& as_bin() const { return u_.bin; }
  Bytes& as_bin() { return u_.bin; }
  const Array& as_array() const { return u_.array; }
  Array& as_array() { return u_.array; }
  const Map& as_map() const { return u_.map; }
  Map& as_map() { return u_.map; }
  const Timestamp& as_timestamp() const { return u_.ts; }
  const Ext& as_ext() const { return u_.ext; }
  Ext& as_ext() { return u_.ext; }

  friend bool operator==(const Value& a, const Value& b);

 private:
  union Members {
    Members() noexcept {}
    ~Members() {}
    bool b;
    std::int64_t i;
    std::uint64_t u;
    double d;
    std::string s;
    Bytes bin;
    Array array;
    Map map;
    Timestamp ts;
    Ext ext;
  };

  // Every kind from Str on holds a member with a destructor, except Timestamp.
  bool owns_members() const { return kind_ >= Kind::Str && kind_ != Kind::Timestamp; }
  void destroy() noexcept;
  // Constructs this (holding nothing) as a copy or a move of `other`.
  void copy_from(const Value& other);
  void move_from(Value& other) noexcept;
  // The plain kinds member by member, so that no byte a kind leaves unset is read; Nil has none.
  void copy_plain(const Value& other) noexcept {
    switch (other.kind_) {
      case Kind::Bool:
        u_.b = other.u_.b;
        break;
      case Kind::Int:
        u_.i = other.u_.i;
        break;
      case Kind::UInt:
        u_.u = other.u_.u;
        break;
      case Kind::Float:
        u_.d = other.u_.d;
        break;
      case Kind::Timestamp:
        ::new (static_cast<void*>(&u_.ts)) Timestamp(other.u_.ts);
        break;
      default:
        break;
    }
  }
  Members u_;
  Kind kind_ = Kind::Nil;
};

struct ValuePair {
  Value key;
  Value value;
  friend bool operator==(const ValuePair&, const ValuePair&) = default;
};

inline Value::Value(const Value& other) { copy_from(other); }
inline Value::Value(Value&& other) noexcept { move_from(other); }

inline Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  if (!owns_members()) {
    // Nothing of this value can hold `other`, so it is moved in directly.
    move_from(other);
    return *this;
  }
  Value moved(std::move(other));  // `other` may live inside this value
  destroy();
  kind_ = Kind::Nil;
  move_from(moved);
  return *this;
}

inline Value& Value::operator=(const Value& other) {
  if (this != &other) *this = Value(other);
  return *this;
}

inline void Value::destroy() noexcept {
  switch (kind_) {
    case Kind::Str:
      u_.s.~basic_string();
      break;
    case Kind::Bin:
      u_.bin.~Bytes();
      break;
    case Kind::Array:
      u_.array.~Array();
      break;
    case Kind::Map:
      u_.map.~Map();
      break;
    case Kind::Ext:
      u_.ext.~Ext();
      break;
    default:
      break;
  }
}

inline void Value::move_from(Value& other) noexcept {
  switch (other.kind_) {
    case Kind::Str:
      ::new (&u_.s) std::string(std::move(other.u_.s));
      break;
    case Kind::Bin:
      ::new (&u_.bin) Bytes(std::move(other.u_.bin));
      break;
    case Kind::Array:
      ::new (&u_.array) Array(std::move(other.u_.array));
      break;
    case Kind::Map:
      ::new (&u_.map) Map(std::move(other.u_.map));
      break;
    case Kind::Ext:
      ::new (&u_.ext) Ext(std::move(other.u_.ext));
      break;
    default:
      copy_plain(other);
      break;
  }
  kind_ = other.kind_;
}

inline void Value::copy_from(const Value& other) {
  switch (other.kind_) {
    case Kind::Str:
      ::new (&u_.s) std::string(other.u_.s);
      break;
    case Kind::Bin:
      ::new (&u_.bin) Bytes(other.u_.bin);
      break;
    case Kind::Array:
      ::new (&u_.array) Array(other.u_.array);
      break;
    case Kind::Map:
      ::new (&u_.map) Map(other.u_.map);
      break;
    case Kind::Ext:
      ::new (&u_.ext) Ext(other.u_.ext);
      break;
    default:
      copy_plain(other);
      break;
  }
  kind_ = other.kind_;
}

template <Value::Kind K, class... Args>
inline void Value::emplace(Args&&... args) {
  if constexpr (K == Kind::Str) {
    ::new (&u_.s) std::string(std::forward<Args>(args)...);
  } else if constexpr (K == Kind::Bin) {
    ::new (&u_.bin) Bytes(std::forward<Args>(args)...);
  } else if constexpr (K == Kind::Array) {
    ::new (&u_.array) Array(std::forward<Args>(args)...);
  } else if constexpr (K == Kind::Map) {
    ::new (&u_.map) Map(std::forward<Args>(args)...);
  } else {
    static_assert(K == Kind::Ext, "only the owning kinds are built in place");
    ::new (&u_.ext) Ext{std::forward<Args>(args)...};
  }
  kind_ = K;
}

inline Value Value::boolean(bool b) {
  Value v;
  v.u_.b = b;
  v.kind_ = Kind::Bool;
  return v;
}
inline Value Value::integer(std::int64_t i) {
  Value v;
  v.u_.i = i;
  v.kind_ = Kind::Int;
  return v;
}
inline Value Value::uinteger(std::uint64_t u) {
  Value v;
  v.u_.u = u;
  v.kind_ = Kind::UInt;
  return v;
}
inline Value Value::floating(double d) {
  Value v;
  v.u_.d = d;
  v.kind_ = Kind::Float;
  return v;
}
inline Value Value::str(std::string s) {
  Value v;
  ::new (&v.u_.s) std::string(std::move(s));
  v.kind_ = Kind::Str;
  return v;
}
inline Value Value::bin(Bytes b) {
  Value v;
  ::new (&v.u_.bin) Bytes(std::move(b));
  v.kind_ = Kind::Bin;
  return v;
}
inline Value Value::array(Array a) {
  Value v;
  ::new (&v.u_.array) Array(std::move(a));
  v.kind_ = Kind::Array;
  return v;
}
inline Value Value::map(Map m) {
  Value v;
  ::new (&v.u_.map) Map(std::move(m));
  v.kind_ = Kind::Map;
  return v;
}
inline Value Value::timestamp(Timestamp t) {
  Value v;
  v.u_.ts = t;
  v.kind_ = Kind::Timestamp;
  return v;
}
inline Value Value::ext(Ext e) {
  Value v;
  ::new (&v.u_.ext) Ext(std::move(e));
  v.kind_ = Kind::Ext;
  return v;
}

// Structural equality; floats compare by value (NaN never equals).
inline bool operator==(const Value& a, const Value& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case Value::Kind::Nil:
      return true;
    case Value::Kind::Bool:
      return a.u_.b == b.u_.b;
    case Value::Kind::Int:
      return a.u_.i == b.u_.i;
    case Value::Kind::UInt:
      return a.u_.u == b.u_.u;
    case Value::Kind::Float:
      return a.u_.d == b.u_.d;
    case Value::Kind::Str:
      return a.u_.s == b.u_.s;
    case Value::Kind::Bin:
      return a.u_.bin == b.u_.bin;
    case Value::Kind::Array:
      return a.u_.array == b.u_.array;
    case Value::Kind::Map:
      return a.u_.map == b.u_.map;
    case Value::Kind::Timestamp:
      return a.u_.ts == b.u_.ts;
    case Value::Kind::Ext:
      return a.u_.ext == b.u_.ext;
  }
  return false;
}

}  // namespace zq
