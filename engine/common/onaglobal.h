#pragma once

#include <QtCore/qglobal.h>

#if defined(ONA_BUILD_LIBRARY)
#define ONA_EXPORT Q_DECL_EXPORT
#else
#define ONA_EXPORT Q_DECL_IMPORT
#endif
