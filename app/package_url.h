// app/package_url.h: the package address compiled into the program (KESTO_PACKAGE_URL). Each
// executable defines it in its own translation unit (app/package_url.cpp for the program).
#ifndef KESTO_APP_PACKAGE_URL_H
#define KESTO_APP_PACKAGE_URL_H

extern const char* g_pszPackageUrl;

#endif  // KESTO_APP_PACKAGE_URL_H
