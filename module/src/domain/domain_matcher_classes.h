// The matcher classes: DomainMatcher (a pattern cache), CompiledDomainPattern (one immutable
// pattern, no borrow), DomainMatcherList and DomainMatcherDict.
#pragma once

#include "domain/domain_matchers.h"
#include "domain/domain_pattern.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

// Each type() is the process-wide type object, built on first need; nullptr with an exception set.
struct CompiledDomainPatternObject : Instance<zq::CompiledDomainPattern> {
  static PyTypeObject* type();
};
struct DomainMatcherObject : Instance<zq::DomainPatternCache> {
  static PyTypeObject* type();
};
struct DomainMatcherListObject : Instance<zq::DomainMatcherList> {
  static PyTypeObject* type();
};
struct DomainMatcherDictObject : Instance<zq::DomainMatcherDict> {
  static PyTypeObject* type();
};

}  // namespace zqpy
