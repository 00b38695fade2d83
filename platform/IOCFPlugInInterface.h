#pragma once
// The plug-in interface that IOCreatePlugInInterfaceForService hands out for a
// service: the caller asks it for the interface it needs (QueryInterface) and
// gives it back with IODestroyPlugInInterface. Used by the S.M.A.R.T. disk access.

#include "platform/IOUnknown.h"

namespace zor::iokit {

class IOCFPlugInInterface : public IOUnknown {};

}  // namespace zor::iokit
