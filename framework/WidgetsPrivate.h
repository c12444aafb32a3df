// Framework-internal: the Qt side of cursors, controls and windows.
#pragma once

#include <QCursor>

#include "framework/Controls.h"

namespace fw {

struct MouseCursor::Impl {
  QCursor cursor;
};

}  // namespace fw
