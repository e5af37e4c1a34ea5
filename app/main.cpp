// The program's one application object.
#include "app/kesto_quick_setup.h"

CKestoQuickSetupApp theApp;
