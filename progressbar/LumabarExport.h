// Symbol visibility of the Lumabar shared library: only what a host needs is exported, the rest of
// the library (helpers, the compiled-in key table) stays private to it.
#pragma once

#include <QtCore/qglobal.h>

#if defined(LUMABAR_BUILDING)
#define LUMABAR_EXPORT Q_DECL_EXPORT
#else
#define LUMABAR_EXPORT Q_DECL_IMPORT
#endif
