#include "app/package_url.h"

const char* g_pszPackageUrl = KESTO_PACKAGE_URL;
