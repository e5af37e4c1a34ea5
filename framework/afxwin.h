// framework/afxwin.h: the whole framework layer in one include.
#ifndef KESTO_FRAMEWORK_AFXWIN_H
#define KESTO_FRAMEWORK_AFXWIN_H

#include "framework/app.h"
#include "framework/cstring.h"
#include "framework/dialog.h"
#include "framework/event.h"
#include "framework/file_find.h"
#include "framework/gdi.h"
#include "framework/internet.h"
#include "framework/object.h"
#include "framework/thread.h"
#include "framework/wnd.h"

#endif  // KESTO_FRAMEWORK_AFXWIN_H
