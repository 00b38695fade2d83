#pragma once
// The text form of property-list values in diagnostic lines and descriptions,
// in the old-style notation ({ key = value; }, ( a, b ), <data bytes>), with
// "(null)" for a missing value. Used by the registry entries' descriptions.

#include <string>

#include "platform/PropertyList.h"

namespace zor {

std::string textOfPropertyList(const PlistValue* value);

}  // namespace zor
